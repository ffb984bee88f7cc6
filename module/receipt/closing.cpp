// Closing a fiscal receipt: subtotal adjustment, payments, footer, closing
// command and the change voucher. Each step is repeated while the operator
// asks for it when the printer does not answer during a TEF sale.
#include <functional>
#include <optional>

#include "closing_args.h"
#include "closing_checks.h"
#include "closing_footer.h"
#include "closing_layout.h"
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
#include "payments.h"
#include "queries/queries.h"
#include "sale_track.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

// How a closing call ends: stopped by a failed step (the result array is left as it was), run
// to its end, or interrupted by an error once the printer steps began.
enum class Ending { Failed, Finished, Interrupted };

struct Closing {
    ClosingArgs a{};
    ClosingLines lines{};
    ConferenceNumbers conference{};
    PaymentDatasets data{};
    PaymentRun payments{};
    std::optional<std::string> changeDigits{};
    std::string nonFiscalCounter{};
    int tefError = 0;
    SaleTrack &t = saleTrack();
    bool closed = false;       // the printer closed the receipt
    bool subtotalDone = false; // the printer holds the subtotal adjustment

    Analysis how() const { return {a.colourScheme, a.show}; }

    // After a failed step: true to repeat it. Answering no, or a sale
    // without TEF, ends the closing with false.
    bool retry() {
        if (a.tefSale() && a.tefInUse && boNUtilTaa &&
            tivhost::Mensagem(msg("Imp_N_Resp"), "", "N", "S", 3, "", a.colourScheme, 0, nullptr)) {
            tefError = 1;
            return true;
        }
        return false;
    }

    // An amount the printer's field cannot hold ends the step unsent.
    std::optional<std::string> amount(double value, const char *mask, Truncation t,
                                      const char *what) {
        auto digits = tryPrinterAmount(value, mask, t);
        if (!digits) reportAmountRefused(what, value, a.colourScheme, dialogsAllowed());
        return digits;
    }

    // Everything read, loaded and checked before the printer is asked anything: a call that is
    // not whole, an amount that is no number or does not fit its field, ends here unsent.
    bool prepare(const tiv::Variant &args, const tiv::Variant &result) {
        if (!closingCallValid(args, result)) return false;
        a = readClosingArgs(args);
        lines = prepareClosingLines(a);
        conference = readConferenceNumbers(a);
        data = loadPaymentDatasets(a);
        if (!closingAmountsFinite(a, data)) return false;
        payments = aggregatePayments(a, data);
        if (!subtotalFits() || !paymentAmountsFit(a, data)) return false;
        // The change voucher's amount too: refused after the receipt closed, it would leave a
        // paid sale answered false and its repeat refused again.
        if (a.issueChange) {
            changeDigits =
                amount(a.changeAmount, "000000000000.00", Truncation::None, "Valor do contra-vale");
            if (!changeDigits) return false;
        }
        return true;
    }

    // No payment rows: with no receipt open there is nothing to close, a success; a receipt
    // open cannot be closed without payments, and is refused. The document state is the one
    // thing read before that is decided, and nothing is sent.
    Ending nothingToPay() {
        const auto p = readDocumentProgress();
        if (p && !p->receiptOpen()) {
            t = SaleTrack{};
            return Ending::Finished;
        }
        reportError("Nenhum pagamento informado; o cupom fiscal n\xE3o foi fechado.",
                    a.colourScheme, dialogsAllowed());
        return Ending::Failed;
    }

    // Where this closing starts: a receipt this module did not open is told from the next one
    // by its COO; a closing that stopped part-way resumes where the printer stands.
    bool startWhereThePrinterStands() {
        if (!t.coo) {
            std::optional<DocumentProgress> open;
            (void)where(open);
        }
        if (t.closing && !resume()) return false;
        if (!closed && !tefCheck()) return false;
        // From here the receipt may be part-way closed: a call that stops resumes next time.
        t.closing = true;
        return true;
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
            command_name::kAdjustSubtotal,
            [&] { return analyse(how(), family().adjustSubtotal(value, discount)); },
            [](const DocumentProgress &p) { return p.subtotalAdjusted; });
    }

    bool paymentsStep() {
        const PaymentCheck check = [&](int position) {
            return carried([&](const DocumentProgress &p) { return p.payments >= position; });
        };
        for (;;) {
            const auto sent = sendPayments(a, data, payments, check);
            if (sent == PaymentOutcome::Done || closed) return true;
            if (sent == PaymentOutcome::Refused || !retry()) return false;
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
                    reportOutcomeUnknown(command_name::kCloseReceipt, a.colourScheme,
                                         dialogsAllowed());
                    if (!retry()) return false;
                    continue;
                }
            }
            if (stand != Stand::Closed) {
                if (open && open->footer && !footerHeld) {
                    noteCarriedOut(command_name::kFooter);
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
                    noteCarriedOut(command_name::kCloseReceipt);
                closed = true;
                return true;
            }
            if (!close && open && open->footer) return true;
            if (open && open->footer && !footerHeld) {
                noteCarriedOut(command_name::kFooter);
                footerHeld = true;
            }
            checkFirst = stand == Stand::Unknown;
            if (!retry()) return false;
        }
    }

    // A closing called again after it stopped part-way starts where the printer stands.
    // False: the printer cannot tell, or holds payments this closing does not account for.
    bool resume() {
        std::optional<DocumentProgress> open;
        switch (where(open)) {
        case Stand::Unknown:
            reportOutcomeUnknown(command_name::kCloseReceipt, a.colourScheme, dialogsAllowed());
            return false;
        case Stand::Closed:
            noteCarriedOut(command_name::kCloseReceipt);
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
                return false;
            }
            noteCarriedOut(command_name::kPay);
            payments.registered = p.payments;
        }
        return true;
    }
    // The footer and the closing command of the sale's layout; none when no payment was sent.
    bool footerAndClosing() {
        if (closed || payments.sent == 0) return true;
        const ClosingLayout layout = chooseLayout(a, payments.agreementSale);
        const LayoutRules rules = rulesOf(layout);
        const std::string footer = closingFooter(a, lines, conference, data, payments, layout);
        return footerAndClose(
            rules.closes,
            [&] {
                return analyse(how(), {EPSON(EPSON_Fiscal_Imprimir_MensagemEX)(footer.c_str()),
                                       footerDebugLine(layout, footer)});
            },
            [&] {
                const Sent sent = family().closeReceipt();
                if (!rules.closingJudgedOnFailure || sent.returnCode != 0)
                    return analyse(how(), sent);
                logDebug(sent.debugLine);
                return true;
            });
    }

    void changeVoucher() {
        if (!changeDigits) return;
        (void)issueUnlinkedVoucher(a.colourScheme, a.changeTotalizer, *changeDigits,
                                   copyText(msg("Dinheiro"), 1, 16));
        (void)nonFiscalOperationCounter(a.colourScheme, nonFiscalCounter);
    }

    // The printer steps, in the order of a sale. An error inside them still hands the host
    // the result array.
    Ending printerSteps() {
        try {
            if (!closed && !subtotalDone && !subtotal()) return Ending::Failed;
            if (!closed && !paymentsStep()) return Ending::Failed;
            prepareSaleLines(a, payments.paidTotal - a.changeAmount, lines);
            if (!footerAndClosing()) return Ending::Failed;
            // The sale is over: the next receipt starts a new track.
            t = SaleTrack{};
            changeVoucher();
        } catch (const std::exception &e) {
            logDebug(std::string("ERRO!!! FechaCupom: ") + e.what());
            return Ending::Interrupted;
        }
        return Ending::Finished;
    }

    Ending run(const tiv::Variant &args, const tiv::Variant &result) {
        if (!prepare(args, result)) return Ending::Failed;
        if (payments.rows == 0) return nothingToPay();
        if (!startWhereThePrinterStands()) return Ending::Failed;
        return printerSteps();
    }

    // The one exit: a failed step leaves the result array as it was and clears boClieUtil;
    // otherwise the array gets the TEF-error flag, the host's pass-through value, the voucher's
    // counter and the accumulated errors, and boClieUtil says whether there were none.
    bool finish(Ending ending, tiv::Variant &result) const {
        if (ending == Ending::Failed) {
            boClieUtil = false;
            return false;
        }
        tiv::setResult(result, 0, tefError);
        tiv::setResult(result, 1, a.passThrough);
        tiv::setResult(result, 2, nonFiscalCounter);
        tiv::setResult(result, 3, stMensagemTaa);
        boClieUtil = stMensagemTaa.empty();
        return ending == Ending::Finished;
    }
};

} // namespace

extern "C" TIV_EXPORT bool FechaCupom(const tiv::Variant &args, tiv::TStringList *lines,
                                      tiv::Variant &result) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    // The string list only told one layout whether to close at all; every layout now closes
    // the receipt, so it is not read.
    (void)lines;
    Closing closing;
    return closing.finish(closing.run(args, result), result);
}
