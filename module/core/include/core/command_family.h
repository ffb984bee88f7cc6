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

// The names the debug log and the operator's messages give the families' commands: the same
// whichever family sends them, so a procedure can name a command before it is sent.
namespace command_name {
inline constexpr char kOpenReceipt[] = "EPSON_Fiscal_Abrir_Cupom";
inline constexpr char kSellItem[] = "EPSON_Fiscal_Vender_Item";
inline constexpr char kAdjustItem[] = "EPSON_Fiscal_Desconto_Acrescimo_Item";
inline constexpr char kAdjustSubtotal[] = "EPSON_Fiscal_Desconto_Acrescimo_Subtotal";
inline constexpr char kPay[] = "EPSON_Fiscal_Pagamento";
inline constexpr char kFooter[] = "EPSON_Fiscal_Imprimir_MensagemEX";
inline constexpr char kCloseReceipt[] = "EPSON_Fiscal_Fechar_Cupom";
inline constexpr char kCancelItem[] = "EPSON_Fiscal_Cancelar_Item";
inline constexpr char kOpenReport[] = "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial";
inline constexpr char kReportLines[] = "EPSON_NaoFiscal_Imprimir_LinhaEX";
inline constexpr char kCloseReport[] = "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial";
inline constexpr char kOpenVoucher[] = "EPSON_NaoFiscal_Abrir_Comprovante";
inline constexpr char kOpenCardVoucher[] = "EPSON_NaoFiscal_Abrir_CCD";
inline constexpr char kReduceZ[] = "EPSON_RelatorioFiscal_RZEX";
inline constexpr char kFiscalMemoryReading[] = "EPSON_RelatorioFiscal_Leitura_MF";
inline constexpr char kCashSupply[] = "EPSON_NaoFiscal_Fundo_Troco";
inline constexpr char kCashWithdrawal[] = "EPSON_NaoFiscal_Sangria";
inline constexpr char kReadCounters[] = "EPSON_Obter_Contadores";
inline constexpr char kOpenDrawer[] = "EPSON_Impressora_Abrir_Gaveta";
inline constexpr char kProgramPaymentMethod[] = "EPSON_Config_Forma_Pagamento";
inline constexpr char kProgramTotalizer[] = "EPSON_Config_Totalizador_NaoFiscal";
} // namespace command_name

// The debug line of a fiscal-memory reading: its range, its kind by dates or by numbers, and
// the printer's answer.
std::string fiscalMemoryReadingLine(const std::string &start, const std::string &end, bool byDates,
                                    int32_t returnCode);

// Every operation that sends a command hands back what was sent and answered; the procedure
// judges it.
class CommandFamily {
  public:
    virtual ~CommandFamily() = default;

    // Starting: binds the entry points this family sends (false, with the first missing one
    // named, when the library lacks one); switches the vendor library's own log on, where
    // this family keeps it off unless `requested` says otherwise.
    virtual bool bindLibrary(uintptr_t handle, std::string &missing) const = 0;
    virtual void switchLibraryLogOn(bool (*requested)()) const = 0;

    // Opening the port: the fiscal day opened when none is, then any voucher
    // or management report left open closed. Answers are not judged.
    virtual void openDayIfClosed() const = 0;
    virtual void closeLeftDocuments() const = 0;
    // Size of the clock reply.
    virtual size_t clockReplySize() const = 0;

    // The fiscal receipt. The consumer's texts are cut to what the printer takes; the log
    // shows them as the host gave them.
    virtual Sent openReceipt(const std::string &cpf, const std::string &name,
                             const std::string &address) const = 0;
    // The mask of an item's discount or surcharge.
    virtual std::string_view itemAdjustmentMask() const = 0;
    virtual Sent sellItem(const ItemLine &item) const = 0;
    virtual Sent adjustItem(const std::string &digits, bool discount) const = 0;
    virtual Sent adjustSubtotal(const std::string &digits, bool discount) const = 0;
    // What a payment is sent under: the method's name, or its code in the
    // printer's payment table; none when the table does not hold it.
    virtual std::optional<std::string> paymentReference(const PaymentMethod &method) const = 0;
    // `position`: the payment's 1-based place among those the printer took.
    virtual Sent pay(const PaymentMethod &method, const std::string &reference,
                     const std::string &amount, int position) const = 0;
    // A card payment the receipt holds at `position` (sent now, or found there when a closing
    // resumed): kept where this family links the card voucher to the payment's place.
    virtual void keepCardPlace(const PaymentMethod &method, int position) const = 0;
    virtual Sent closeReceipt() const = 0;
    // Cancels one item of the open receipt by its number ("0005").
    virtual Sent cancelItem(const std::string &number) const = 0;

    // The management report.
    virtual Sent openReport() const = 0;
    virtual Sent printReportLines(const std::string &text) const = 0;
    virtual Sent closeReport() const = 0;

    // Vouchers. The unlinked one is opened, sold, paid and closed, from `from` on: a voucher
    // the printer holds part-way is finished from the step it lacks.
    virtual VoucherRun issueUnlinkedVoucher(const std::string &totalizerName,
                                            const std::string &amountCents,
                                            const std::string &paymentName,
                                            const std::string &payment,
                                            VoucherStep from = VoucherStep::Open) const = 0;
    // The amount a card voucher is opened with, as digits: none when this family opens it
    // with the amount and the amount does not fit (empty digits where it does not take one).
    virtual std::optional<std::string> cardVoucherAmount(double amount) const = 0;
    // None when the printer's payment table does not hold the method.
    virtual std::optional<Sent> openCardVoucher(const std::string &paymentName,
                                                const std::string &amountCents) const = 0;

    // Counters. The receipt number the host is handed back has this many characters.
    virtual int receiptNumberWidth() const = 0;
    virtual Sent readReceiptNumber(std::string &number) const = 0;
    virtual Sent readFiscalReceiptCounter(std::string &counter) const = 0;

    virtual Sent openDrawer() const = 0;

    // The fiscal day: a plain Z reduction; and the daylight-saving switch, judged, true when
    // the printer made it (one family makes it on its own, the other only with a Z reduction
    // the operator confirms, sent once and followed by the next day's opening).
    virtual Sent reduceZ() const = 0;
    virtual bool switchDaylightSaving(bool inForce, const std::string &colourScheme) const = 0;
    // A fiscal-memory reading printed, complete or simplified, by dates ("ddmmyyyy") or by
    // document numbers; the classic family also writes it to `file` when one is named.
    virtual Sent printFiscalMemoryReading(bool complete, bool byDates, const std::string &start,
                                          const std::string &end,
                                          const std::string &file) const = 0;
    // A cash supply (true) or withdrawal, the amount in cents as digits.
    virtual Sent cashMovement(bool supply, const std::string &cents) const = 0;

    // The printer's tables.
    virtual int firstPaymentSlot() const = 0;
    virtual Sent programPaymentMethod(const std::string &slot, const std::string &name) const = 0;
    // The classic library may answer with another number than proposed: one that is no
    // two-digit totalizer number is logged and the proposed one kept.
    virtual Sent programTotalizer(const std::string &name, int32_t &number,
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
