// Closing a fiscal receipt: subtotal adjustment, payments, footer, closing
// command and the change voucher. Each step is repeated while the operator
// asks for it when the printer does not answer during a TEF sale.
#include <optional>

#include "closing_args.h"
#include "closing_lines.h"
#include "documents/documents.h"
#include "driver/amounts.h"
#include "driver/binding.h"
#include "driver/command.h"
#include "driver/command_family.h"
#include "driver/data_module.h"
#include "driver/debug_log.h"
#include "driver/dialogs.h"
#include "driver/text.h"
#include "footer.h"
#include "payments.h"
#include "reports/reports.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

enum class Layout { A, B, C, D, E, F };

// The footer's debug line as each layout writes it.
std::string footerLine(Layout v, const std::string &footer) {
    if (v == Layout::A || v == Layout::B) return "EPSON_Fiscal_Imprimir_MensagemEX";
    if (v == Layout::C) return "EPSON_Fiscal_Imprimir_MensagemEX()";
    return "EPSON_Fiscal_Imprimir_MensagemEX(" + footer + ")";
}

struct Closing {
    const ClosingArgs &a;
    int tefError = 0;
    Analysis how{a.colourScheme, a.show};

    // After a failed step: true to repeat it. Answering no, or a sale
    // without TEF, ends the closing with false.
    bool retry() {
        if (a.tefSale() && a.tefInUse && boNUtilTaa &&
            tivhost::Mensagem(msg("Imp_N_Resp"), "", "N", "S", 3, "", a.colourScheme, 0, nullptr)) {
            tefError = 1;
            return true;
        }
        boClieUtil = false;
        return false;
    }

    // An amount the printer's field cannot hold ends the step unsent.
    std::optional<std::string> amount(double value, const char *mask, Truncation t,
                                      const char *what) {
        auto digits = tryPrinterAmount(value, mask, t);
        if (!digits) reportAmountRefused(what, value, a.colourScheme, dialogsAllowed());
        return digits;
    }

    bool tefCheck() {
        if (!(a.tefMarker == "T" && a.tefInUse)) return true;
        while (!printerReady(a.colourScheme))
            if (!retry()) return false;
        return true;
    }

    // Discount wins over surcharge; neither sends nothing.
    enum class Step { Done, Failed, Refused };
    Step subtotal() {
        const bool discount = a.subtotalDiscount > 0;
        if (!discount && !(a.subtotalSurcharge > 0)) return Step::Done;
        const auto value = amount(discount ? a.subtotalDiscount : a.subtotalSurcharge,
                                  "000000000.00", Truncation::To2, "Valor do subtotal");
        if (!value) return Step::Refused;
        return analyse(how, {family().adjustSubtotal(*value, discount),
                             "EPSON_Fiscal_Desconto_Acrescimo_Subtotal : " + *value})
                   ? Step::Done
                   : Step::Failed;
    }
};

} // namespace

extern "C" TIV_EXPORT bool FechaCupom(const tiv::Variant &args, tiv::TStringList *lines,
                                      tiv::Variant &result) {
    ensureDataModule();
    const ClosingArgs a = readClosingArgs(args);
    ClosingLines footerLines = prepareClosingLines(a);
    std::string conferenceCoo = a.conferenceCoo, conferenceCer = a.conferenceCer;
    if (!isBlank(conferenceCoo)) conferenceCoo = tivhost::Ajusta(conferenceCoo, 6);
    if (!isBlank(conferenceCer))
        conferenceCer =
            tivhost::Ajusta(tiv::Variant(tiv::Variant(conferenceCer).toInteger()).toString(), 6);

    PaymentDatasets data = loadPaymentDatasets(a);
    // The string list only told one variant whether to close at all; every
    // variant now closes the receipt, so it is not read.
    (void)lines;
    Closing c{a};
    if (!c.tefCheck()) return false;

    bool finished = true;
    std::string nonFiscalCounter;
    try {
        for (;;) {
            const auto step = c.subtotal();
            if (step == Closing::Step::Done) break;
            if (step == Closing::Step::Refused || !c.retry()) {
                boClieUtil = false;
                return false;
            }
        }

        PaymentRun payments = aggregatePayments(a, data);
        for (;;) {
            const auto sent = sendPayments(a, data, payments);
            if (sent == PaymentOutcome::Done) break;
            if (sent == PaymentOutcome::Refused || !c.retry()) {
                boClieUtil = false;
                return false;
            }
        }
        prepareSaleLines(a, payments.paidTotal - a.changeAmount, footerLines);

        if (payments.sent > 0) {
            Layout v;
            if (a.conferenceVariant == "2" && !a.consumerCode.empty() && a.balanceMode == "1")
                v = Layout::A;
            else if (a.familyMode == "1" && a.balanceMode == "1")
                v = Layout::B;
            else if (a.tefMarker == "T" && a.tefInUse && a.tefList == "S")
                v = Layout::C;
            else if (payments.agreementSale)
                v = Layout::D;
            else if (!a.receiptNumber.empty())
                v = Layout::E;
            else
                v = Layout::F;

            const bool conference = v != Layout::A && v != Layout::F;
            const bool subsidy = v == Layout::D || v == Layout::E;
            const double familyTotal =
                familyBalanceTotal(a, data, payments.consumptionTotal,
                                   v == Layout::A || v == Layout::B, v == Layout::C);
            const bool showConsumer = a.printConsumer;
            const std::string footer = formatFooter({
                .maxLines = 8,
                .balanceMode = a.balanceMode,
                .firstLine = a.firstLine,
                .taxLine = footerLines.tax,
                .lotteryLine = footerLines.lottery,
                .customerCode = copyText(a.customerCode, 1, 20),
                .customerName = copyText(a.customerName, 1, 20),
                .consumerCode =
                    showConsumer && !isBlank(a.consumerCode) ? copyText(a.consumerCode, 1, 20) : "",
                .consumerName =
                    showConsumer && !isBlank(a.consumerName) ? copyText(a.consumerName, 1, 20) : "",
                .operatorCode = a.operatorCode,
                .operatorName = a.operatorName,
                .tableLine = footerLines.table,
                .passwordLine = footerLines.password,
                .freeMessage = a.freeMessage,
                .ecfNumber = conference ? a.printerNumber : "",
                .cerCounter = conference ? conferenceCer : "",
                .receiptNumber = conference ? conferenceCoo : "",
                .familyMode = a.familyMode,
                .layout = v == Layout::D ? "1" : "2",
                .familyBalanceTotal = familyTotal,
                .subsidisedPrice = subsidy ? a.subsidisedPrice : 0.0,
                .balances = data.creditBalances,
                .familyBalances = data.familyBalances,
                .familyMovements = data.loans,
                .pointsLine = footerLines.points,
                .extraPointsLine = footerLines.extraPoints,
                .fidelityDiscountLine = footerLines.fidelityDiscount,
            });

            for (;;) {
                bool ok = analyse(c.how, {EPSON(EPSON_Fiscal_Imprimir_MensagemEX)(footer.c_str()),
                                          footerLine(v, footer)});
                if (v != Layout::A) {
                    // Layout F judges the closing only when it failed.
                    const int32_t rc = family().closeReceipt();
                    logDebug("EPSON_Fiscal_Fechar_Cupom");
                    if (v != Layout::F || rc != 0) ok = analyse(c.how, rc) && ok;
                }
                if (ok) break;
                if (!c.retry()) return false;
            }
        }

        if (a.issueChange) {
            const auto value = c.amount(a.changeAmount, "000000000000.00", Truncation::None,
                                        "Valor do contra-vale");
            if (value) {
                (void)issueUnlinkedVoucher(a.colourScheme, a.changeTotalizer, *value,
                                           copyText(msg("Dinheiro"), 1, 16));
                (void)nonFiscalOperationCounter(a.colourScheme, nonFiscalCounter);
            } else {
                finished = false;
            }
        }
    } catch (const std::exception &e) {
        logDebug(std::string("ERRO!!! FechaCupom: ") + e.what());
        finished = false;
    }

    tiv::setResult(result, 0, c.tefError);
    tiv::setResult(result, 1, a.passThrough);
    tiv::setResult(result, 2, nonFiscalCounter);
    tiv::setResult(result, 3, stMensagemTaa);
    boClieUtil = stMensagemTaa.empty();
    return finished;
}
