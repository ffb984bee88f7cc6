// Closing a fiscal receipt: subtotal adjustment, payments, footer, closing
// command and the change voucher. Each step is repeated while the operator
// asks for it when the printer does not answer during a TEF sale.
#include <functional>
#include <optional>

#include "closing_args.h"
#include "closing_checks.h"
#include "closing_lines.h"
#include "core/amounts.h"
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/dialogs.h"
#include "core/document_progress.h"
#include "core/error_report.h"
#include "core/return_analysis.h"
#include "core/text.h"
#include "documents/documents.h"
#include "footer.h"
#include "payments.h"
#include "queries/queries.h"
#include "sale_track.h"
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
    SaleTrack &t = saleTrack();
    bool closed = false; // the printer closed the receipt

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

    // Where the receipt stands on the printer: still open (with what it holds), closed, gone
    // (nothing of this sale is open and it was not closed), or unknown (no answer, or another
    // receipt open).
    enum class Stand { Open, Closed, Gone, Unknown };
    Stand where(std::optional<DocumentProgress> &open) {
        const auto p = readDocumentProgress();
        if (!p) return Stand::Unknown;
        if (p->receiptOpen()) {
            if (!t.coo) t.coo = p->coo;
            if (*t.coo != p->coo) return Stand::Unknown;
            open = p;
            return Stand::Open;
        }
        return t.coo && p->lastReceiptCoo == *t.coo ? Stand::Closed : Stand::Gone;
    }

    // Whether a step the printer may have carried out did so: `held` reads it off the open
    // receipt. A closed receipt holds every step.
    Carried carried(const std::function<bool(const DocumentProgress &)> &held) {
        std::optional<DocumentProgress> open;
        switch (where(open)) {
        case Stand::Open:
            return held(*open) ? Carried::Yes : Carried::No;
        case Stand::Closed:
            closed = true;
            return Carried::Yes;
        case Stand::Gone:
            return Carried::No;
        case Stand::Unknown:
            break;
        }
        return Carried::Unknown;
    }

    // Sends a step, and repeats it while the operator asks for it, never sending again what
    // the printer shows carried out. False: the closing ends here.
    bool step(const char *entry, const std::function<bool()> &send,
              const std::function<bool(const DocumentProgress &)> &held) {
        Carried last = Carried::No; // nothing sent yet
        for (bool sent = false;; sent = true) {
            if (sent && last == Carried::Unknown) last = carried(held);
            if (last == Carried::Yes) {
                noteCarriedOut(entry);
                return true;
            }
            if (last == Carried::Unknown) {
                reportOutcomeUnknown(entry, a.colourScheme, dialogsAllowed());
            } else {
                if (send()) return true;
                last = lastCommandRefused() ? Carried::No : carried(held);
                if (last == Carried::Yes) {
                    noteCarriedOut(entry);
                    return true;
                }
            }
            if (!retry()) return false;
        }
    }

    // The subtotal adjustment's digits, made once before anything is sent: discount wins over
    // surcharge; neither sends nothing. False: the amount does not fit its field.
    bool subtotalDiscount = false;
    std::optional<std::string> subtotalDigits{};
    bool subtotalFits() {
        subtotalDiscount = a.subtotalDiscount > 0;
        if (!subtotalDiscount && !(a.subtotalSurcharge > 0)) return true;
        subtotalDigits = amount(subtotalDiscount ? a.subtotalDiscount : a.subtotalSurcharge,
                                "000000000.00", Truncation::To2, "Valor do subtotal");
        return subtotalDigits.has_value();
    }

    bool subtotal() {
        if (!subtotalDigits) return true;
        const std::string &value = *subtotalDigits;
        const bool discount = subtotalDiscount;
        return step(
            "EPSON_Fiscal_Desconto_Acrescimo_Subtotal",
            [&] {
                return analyse(how, {family().adjustSubtotal(value, discount),
                                     "EPSON_Fiscal_Desconto_Acrescimo_Subtotal : " + value});
            },
            [](const DocumentProgress &p) { return p.subtotalAdjusted; });
    }

    bool payments(PaymentDatasets &data, PaymentRun &run) {
        const PaymentCheck check = [&](int position) {
            return carried([&](const DocumentProgress &p) { return p.payments >= position; });
        };
        for (;;) {
            const auto sent = sendPayments(a, data, run, check);
            if (sent == PaymentOutcome::Done || closed) return true;
            if (sent == PaymentOutcome::Refused || !retry()) {
                boClieUtil = false;
                return false;
            }
        }
    }

    // The footer, then the closing command (none when `close` is false), and the step redone
    // from the footer while the operator asks for it. What the printer holds is never sent
    // again: a footer it kept is not printed twice, and a receipt it closed ends the step as a
    // success, a footer it refused then noted in stMensagemTaa and the log.
    bool footerAndClose(bool close, const std::function<bool()> &sendFooter,
                        const std::function<bool()> &sendClose) {
        bool footerHeld = false, checkFirst = false;
        for (;;) {
            std::optional<DocumentProgress> open;
            Stand stand = Stand::Open;
            if (checkFirst) {
                stand = where(open);
                if (stand == Stand::Unknown) {
                    reportOutcomeUnknown("EPSON_Fiscal_Fechar_Cupom", a.colourScheme,
                                         dialogsAllowed());
                    if (!retry()) return false;
                    continue;
                }
            }
            if (stand != Stand::Closed) {
                if (open && open->footer && !footerHeld) {
                    noteCarriedOut("EPSON_Fiscal_Imprimir_MensagemEX");
                    footerHeld = true;
                }
                if (!footerHeld) footerHeld = sendFooter();
                // A refused footer: the receipt is closed all the same.
                bool ok = footerHeld;
                if (close) ok = sendClose() && ok;
                if (ok) {
                    closed = close;
                    return true;
                }
                open.reset();
                stand = where(open);
            }
            if (stand == Stand::Closed) {
                if (!footerHeld)
                    reportError("Rodap\xE9 n\xE3o impresso; o cupom fiscal foi fechado sem ele.",
                                a.colourScheme, dialogsAllowed());
                else
                    noteCarriedOut("EPSON_Fiscal_Fechar_Cupom");
                closed = true;
                return true;
            }
            if (!close && open && open->footer) return true;
            if (open && open->footer && !footerHeld) {
                noteCarriedOut("EPSON_Fiscal_Imprimir_MensagemEX");
                footerHeld = true;
            }
            checkFirst = stand == Stand::Unknown;
            if (!retry()) return false;
        }
    }

    // A closing called again after it stopped part-way starts where the printer stands.
    // False: the printer cannot tell, or holds payments this closing does not account for.
    bool resume(PaymentDatasets &data, PaymentRun &run, bool &subtotalDone) {
        std::optional<DocumentProgress> open;
        switch (where(open)) {
        case Stand::Unknown:
            reportOutcomeUnknown("EPSON_Fiscal_Fechar_Cupom", a.colourScheme, dialogsAllowed());
            boClieUtil = false;
            return false;
        case Stand::Closed:
            noteCarriedOut("EPSON_Fiscal_Fechar_Cupom");
            closed = true;
            return true;
        case Stand::Gone:
            // Nothing of the sale is left on the printer: a closing as any other.
            t.closing = false;
            return true;
        case Stand::Open:
            break;
        }
        const DocumentProgress &p = *open;
        subtotalDone = p.subtotalAdjusted;
        if (p.payments > 0) {
            const auto paid = firstRowsPaid(data, p.payments);
            if (!paid || *paid != p.paidCents) {
                reportError("Os pagamentos registrados na impressora fiscal n\xE3o conferem com os "
                            "do cupom; o cupom fiscal n\xE3o foi fechado.",
                            a.colourScheme, dialogsAllowed());
                boClieUtil = false;
                return false;
            }
            noteCarriedOut("EPSON_Fiscal_Pagamento");
            run.registered = p.payments;
        }
        return true;
    }
};

} // namespace

extern "C" TIV_EXPORT bool FechaCupom(const tiv::Variant &args, tiv::TStringList *lines,
                                      tiv::Variant &result) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    // Nothing reaches the printer before the call is known to be whole.
    if (!closingCallValid(args, result)) {
        boClieUtil = false;
        return false;
    }
    const ClosingArgs a = readClosingArgs(args);
    ClosingLines footerLines = prepareClosingLines(a);
    std::string conferenceCoo = a.conferenceCoo, conferenceCer = a.conferenceCer;
    if (!isBlank(conferenceCoo)) conferenceCoo = tivhost::Ajusta(conferenceCoo, 6);
    if (!isBlank(conferenceCer))
        conferenceCer =
            tivhost::Ajusta(tiv::Variant(tiv::Variant(conferenceCer).toInteger()).toString(), 6);

    PaymentDatasets data = loadPaymentDatasets(a);
    if (!closingAmountsFinite(a, data)) {
        boClieUtil = false;
        return false;
    }
    PaymentRun payments = aggregatePayments(a, data);
    // The string list only told one variant whether to close at all; every
    // variant now closes the receipt, so it is not read.
    (void)lines;
    Closing c{a};
    // Amounts the printer cannot take end the closing before anything is sent.
    if (!c.subtotalFits() || !paymentAmountsFit(a, data)) {
        boClieUtil = false;
        return false;
    }
    // The change voucher's amount too: refused after the receipt closed, it would leave a paid
    // sale answered false and its repeat refused again.
    std::optional<std::string> changeDigits;
    if (a.issueChange) {
        changeDigits =
            c.amount(a.changeAmount, "000000000000.00", Truncation::None, "Valor do contra-vale");
        if (!changeDigits) {
            boClieUtil = false;
            return false;
        }
    }
    if (payments.rows == 0) {
        // No payment rows: with no receipt open there is nothing to close, a success; a receipt
        // open cannot be closed without payments, and is refused. The document state is the one
        // thing read before that is decided, and nothing is sent.
        const auto p = readDocumentProgress();
        if (p && !p->receiptOpen()) {
            c.t = SaleTrack{};
            tiv::setResult(result, 0, c.tefError);
            tiv::setResult(result, 1, a.passThrough);
            tiv::setResult(result, 2, std::string());
            tiv::setResult(result, 3, stMensagemTaa);
            boClieUtil = stMensagemTaa.empty();
            return true;
        }
        reportError("Nenhum pagamento informado; o cupom fiscal n\xE3o foi fechado.",
                    a.colourScheme, dialogsAllowed());
        boClieUtil = false;
        return false;
    }
    if (!c.t.coo) {
        // A receipt this module did not open: its COO tells it from the next one.
        std::optional<DocumentProgress> open;
        (void)c.where(open);
    }
    bool subtotalDone = false;
    if (c.t.closing && !c.resume(data, payments, subtotalDone)) return false;
    if (!c.closed && !c.tefCheck()) return false;
    // From here the receipt may be part-way closed: a call that stops resumes next time.
    c.t.closing = true;

    bool finished = true;
    std::string nonFiscalCounter;
    try {
        if (!c.closed && !subtotalDone && !c.subtotal()) return false;
        if (!c.closed && !c.payments(data, payments)) return false;
        prepareSaleLines(a, payments.paidTotal - a.changeAmount, footerLines);

        if (!c.closed && payments.sent > 0) {
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

            if (!c.footerAndClose(
                    v != Layout::A,
                    [&] {
                        return analyse(c.how,
                                       {EPSON(EPSON_Fiscal_Imprimir_MensagemEX)(footer.c_str()),
                                        footerLine(v, footer)});
                    },
                    [&] {
                        // Layout F judges the closing only when it failed.
                        const int32_t rc = family().closeReceipt();
                        logDebug("EPSON_Fiscal_Fechar_Cupom");
                        return (v == Layout::F && rc == 0) || analyse(c.how, rc);
                    }))
                return false;
        }
        // The sale is over: the next receipt starts a new track.
        c.t = SaleTrack{};

        if (changeDigits) {
            (void)issueUnlinkedVoucher(a.colourScheme, a.changeTotalizer, *changeDigits,
                                       copyText(msg("Dinheiro"), 1, 16));
            (void)nonFiscalOperationCounter(a.colourScheme, nonFiscalCounter);
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
