#include "core/command_family.h"
#include "core/debug_log.h"
#include "core/text.h"
#include "sent_lines.h"
#include "tivplatform/numbers.h"

namespace tiv02000 {

namespace {
const CommandFamily *chosen = nullptr;
}

const CommandFamily &family() {
    return chosen != nullptr ? *chosen : escEcfCommands();
}

bool chooseCommandFamily(int32_t printerType) {
    if (printerType == 31)
        chosen = &classicCommands();
    else if (printerType == 33)
        chosen = &escEcfCommands();
    else
        return false;
    return true;
}

std::string fiscalMemoryReadingLine(const std::string &start, const std::string &end, bool byDates,
                                    int32_t returnCode) {
    return std::string(command_name::kFiscalMemoryReading) + " :  - " + start + " - " + end +
           " - " + (byDates ? "5" : "4") +
           "\r\nRetorno da Impressora : " + tiv::intToStr(returnCode);
}

Sent paymentSent(int32_t rc, const PaymentMethod &method, const std::string &amount) {
    return {rc,
            std::string(command_name::kPay) + " : " + copyText(method.name, 1, 15) + " - " + amount,
            command_name::kPay};
}

Sent totalizerSent(int32_t rc, const std::string &name, int32_t &number, int32_t proposed) {
    if (number < 1 || number > 99) {
        logDebug("ERRO!!! numero de totalizador invalido devolvido pela impressora: " +
                 tiv::intToStr(number));
        number = proposed;
    }
    return {rc,
            std::string(command_name::kProgramTotalizer) + " : " + name + " - " +
                tiv::intToStr(number),
            command_name::kProgramTotalizer};
}

} // namespace tiv02000
