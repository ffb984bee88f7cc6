#pragma once
// The printer's two command families: the classic entry points (printer
// type 31) and the ESC/ECF ones (type 33). StartImpFiscal chooses one when
// it accepts the printer type; the procedures then ask the chosen family for
// an operation and never ask which family it is.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/command.h"

namespace tiv02000 {

// One sold item as the printer takes it.
struct ItemLine {
    std::string code;            // the host's product code
    std::string description;     // at most 50 characters
    std::string quantity, price; // digit texts
    std::string unit;            // as the host sent it
    std::string taxCode;         // the host's tax code ("01".."11", "FF", "II", "NN")
};

// A payment method as a closing pays with it.
struct PaymentMethod {
    std::string code, kind, name, fiscalName;
};

// The unlinked voucher's steps, in the order the printer takes them.
enum class VoucherStep { Open, Sell, Pay, Close };

// What a voucher's steps answered: the answer the procedure judges, and whether every step
// sent answered 0.
struct VoucherRun {
    int32_t judged = 0;
    bool clean = true;
};

// One step of an unlinked voucher: sent unless the run starts past it (0 then); a non-zero
// answer makes the run unclean.
template <class Send>
int32_t voucherStep(VoucherRun &run, VoucherStep from, VoucherStep step, Send &&send) {
    if (step < from) return 0;
    const int32_t rc = send();
    if (rc != 0) run.clean = false;
    return rc;
}

class CommandFamily {
  public:
    virtual ~CommandFamily() = default;

    // Starting: the entry points to bind and the vendor library's own log.
    virtual bool needsEscEcfEntryPoints() const = 0;
    // True when that log is switched on only if the registry asks for it.
    virtual bool libraryLogOnRequest() const = 0;

    // Opening the port: the fiscal day opened when none is, then any voucher
    // or management report left open closed. Answers are not judged.
    virtual void openDayIfClosed() const = 0;
    virtual void closeLeftDocuments() const = 0;
    // Size of the clock reply.
    virtual size_t clockReplySize() const = 0;

    // The fiscal receipt.
    virtual int32_t openReceipt(const std::string &cpf, const std::string &name,
                                const std::string &address) const = 0;
    // The mask of an item's discount or surcharge.
    virtual std::string_view itemAdjustmentMask() const = 0;
    virtual Sent sellItem(const ItemLine &item) const = 0;
    virtual int32_t adjustItem(const std::string &digits, bool discount) const = 0;
    virtual int32_t adjustSubtotal(const std::string &digits, bool discount) const = 0;
    // What a payment is sent under: the method's name, or its code in the
    // printer's payment table; none when the table does not hold it.
    virtual std::optional<std::string> paymentReference(const PaymentMethod &method) const = 0;
    // `position`: the payment's 1-based place among those the printer took.
    virtual int32_t pay(const PaymentMethod &method, const std::string &reference,
                        const std::string &amount, int position) const = 0;
    virtual int32_t closeReceipt() const = 0;
    // Cancels one item of the open receipt by its number ("0005").
    virtual int32_t cancelItem(const std::string &number) const = 0;

    // The management report.
    virtual int32_t openReport() const = 0;
    virtual int32_t printReportLines(const std::string &text) const = 0;
    virtual int32_t closeReport() const = 0;

    // Vouchers. The unlinked one is opened, sold, paid and closed, from `from` on: a voucher
    // the printer holds part-way is finished from the step it lacks.
    virtual VoucherRun issueUnlinkedVoucher(const std::string &totalizerName,
                                            const std::string &amountCents,
                                            const std::string &paymentName,
                                            const std::string &payment,
                                            VoucherStep from = VoucherStep::Open) const = 0;
    // True when a card voucher is opened with the payment's amount.
    virtual bool cardVoucherCarriesAmount() const = 0;
    // None when the printer's payment table does not hold the method.
    virtual std::optional<Sent> openCardVoucher(const std::string &paymentName,
                                                const std::string &amountCents) const = 0;

    // Counters. The receipt number the host is handed back has this many characters.
    virtual int receiptNumberWidth() const = 0;
    virtual Sent readReceiptNumber(std::string &number) const = 0;
    virtual Sent readFiscalReceiptCounter(std::string &counter) const = 0;

    virtual int32_t openDrawer() const = 0;

    // The fiscal day: a plain Z reduction, and the daylight-saving switch where the family
    // makes it on its own (none where it takes a Z reduction with it).
    virtual int32_t reduceZ() const = 0;
    virtual std::optional<int32_t> switchDaylightSaving(bool inForce) const = 0;
    // A fiscal-memory reading printed, complete or simplified, by dates ("ddmmyyyy") or by
    // document numbers; the classic family also writes it to `file` when one is named.
    virtual int32_t printFiscalMemoryReading(bool complete, bool byDates, const std::string &start,
                                             const std::string &end,
                                             const std::string &file) const = 0;
    // A cash supply (true) or withdrawal, the amount in cents as digits.
    virtual int32_t cashMovement(bool supply, const std::string &cents) const = 0;

    // The printer's tables.
    virtual int firstPaymentSlot() const = 0;
    virtual int32_t programPaymentMethod(const std::string &slot,
                                         const std::string &name) const = 0;
    // The classic library may answer with another number than proposed.
    virtual int32_t programTotalizer(const std::string &name, int32_t &number,
                                     const char *direction) const = 0;
};

// The family StartImpFiscal chose (ESC/ECF until a start chooses).
const CommandFamily &family();
// Chooses the family of a printer type; false, and nothing changed, for a
// type that has none.
bool chooseCommandFamily(int32_t printerType);

const CommandFamily &classicCommands();
const CommandFamily &escEcfCommands();

} // namespace tiv02000
