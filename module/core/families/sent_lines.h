#pragma once
// What both families log for a command they send alike: the debug line names the command as
// the log always has, whichever entry point carried it.
#include <cstdint>
#include <string>

#include "core/command.h"
#include "core/command_family.h"

namespace tiv02000 {

// A command whose debug line is its name alone.
inline Sent namedSent(int32_t rc, const char *name) {
    return {rc, name, name};
}

inline Sent openingSent(int32_t rc, const std::string &cpf, const std::string &name,
                        const std::string &address) {
    return {rc,
            std::string(command_name::kOpenReceipt) + " :" + cpf + " - " + name + " - " + address,
            command_name::kOpenReceipt};
}

inline Sent subtotalSent(int32_t rc, const std::string &digits) {
    return {rc, std::string(command_name::kAdjustSubtotal) + " : " + digits,
            command_name::kAdjustSubtotal};
}

// A payment is logged under the first 15 characters of the method's name.
Sent paymentSent(int32_t rc, const PaymentMethod &method, const std::string &amount);

inline Sent cashSent(int32_t rc, bool supply, const std::string &cents) {
    const char *name = supply ? command_name::kCashSupply : command_name::kCashWithdrawal;
    return {rc, std::string(name) + " : " + cents, name};
}

inline Sent cancelItemSent(int32_t rc, const std::string &number) {
    return {rc, std::string(command_name::kCancelItem) + " : " + number, command_name::kCancelItem};
}

inline Sent reportLinesSent(int32_t rc, const std::string &text) {
    return {rc, std::string(command_name::kReportLines) + ": " + text, command_name::kReportLines};
}

inline Sent paymentMethodSent(int32_t rc, const std::string &slot, const std::string &name) {
    return {rc, std::string(command_name::kProgramPaymentMethod) + " : " + slot + name,
            command_name::kProgramPaymentMethod};
}

// A totalizer's number the library handed back is trusted only as a two-digit one: another is
// logged and the proposed number kept. The line shows the number kept.
Sent totalizerSent(int32_t rc, const std::string &name, int32_t &number, int32_t proposed);

} // namespace tiv02000
