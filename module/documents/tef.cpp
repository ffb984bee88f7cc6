// The slips of the card transactions (TEF) of a sale, printed into a card
// voucher or a management report, with the operator's reprint.
#include <optional>

#include "core/amounts.h"
#include "core/call_guard.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/document_progress.h"
#include "core/operator_questions.h"
#include "core/return_analysis.h"
#include "documents/documents.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"

using namespace tiv02000;

namespace {

// A slip text ends with a line feed; an empty one becomes one blank line.
std::string terminated(std::string text) {
    if (text.empty() || text.back() != '\n') text += '\n';
    return text;
}

// Prints the text in blocks of at most four lines; false at the first block
// the printer refused.
bool printInBlocks(const std::string &colourScheme, const std::string &text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        for (int line = 0; line < 4 && end < text.size(); ++line) {
            const size_t lf = text.find('\n', end);
            end = lf == std::string::npos ? text.size() : lf + 1;
        }
        if (!printReportText(colourScheme, text.substr(pos, end - pos))) return false;
        pos = end;
    }
    return true;
}

class TefSlips {
  public:
    TefSlips(const std::string &colourScheme, const tiv::TStringList &first,
             const tiv::TStringList *second, const std::string &firstListMode,
             const std::string &secondListMode)
        : scheme_(colourScheme), first_(first), second_(second), printFirst_(firstListMode == "N"),
          printSecond_(secondListMode != "APC" && secondListMode != "TAA") {}

    bool result = false, open = false, error = false, finished = false;

    // One printing pass over every slip, closing the document after the last.
    void pass() {
        const size_t count = first_.count();
        for (size_t i = 0, k = 1; i < count; ++i, ++k) {
            finished = true;
            const std::string slip = terminated(first_.at(i));
            if (!error && printFirst_ && !printInBlocks(scheme_, slip)) error = open = true;
            if (printSecond_ && second_ != nullptr && second_->count() >= k && !error) {
                const std::string slip2 = terminated(second_->at(i));
                tivhost::Delay(2);
                if (!printInBlocks(scheme_, slip2)) error = open = true;
            }
            // A failure inside a slip other than the last is not carried on.
            if (count > k) {
                error = false;
                continue;
            }
            if (error) return;
            if (closeManagementReport(scheme_, boNUtilTaa, false)) {
                open = false;
                result = true;
                error = false;
            } else {
                error = true;
                open = false;
            }
        }
    }

  private:
    const std::string &scheme_;
    const tiv::TStringList &first_;
    const tiv::TStringList *second_;
    bool printFirst_, printSecond_;
};

} // namespace

extern "C" TIV_EXPORT bool
ImprimeTef(const std::string &serialNumber, const std::string &cerKey1, const std::string &cerKey2,
           const std::string &colourScheme, tiv::TStringList *firstSlips,
           tiv::TStringList *secondSlips, tiv::TStringList * /*unused7*/,
           tiv::TStringList * /*unused8*/, const std::string & /*unused9*/,
           const std::string &paymentName, const std::string & /*unused11*/, double amount,
           double /*unused13*/, int32_t /*unused14*/, const std::string &firstListMode,
           const std::string &secondListMode) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    bool ready = printerReady(colourScheme);
    while (!ready) {
        if (!boNUtilTaa || !askPrintAgain(colourScheme)) return false;
        ready = printerReady(colourScheme);
    }
    if (firstSlips == nullptr || firstSlips->empty()) return false;

    const bool cardVoucher = !tivhost::EmptyString(paymentName);
    std::string amountText;
    if (cardVoucher) {
        auto digits = family().cardVoucherAmount(amount);
        if (!digits) {
            reportAmountRefused("Valor do comprovante " + paymentName, amount, colourScheme,
                                boNUtilTaa);
            return false;
        }
        amountText = *digits;
    }

    TefSlips slips(colourScheme, *firstSlips, secondSlips, firstListMode, secondListMode);
    slips.result = ready;
    // A voucher or report the printer opened although its answer said otherwise is not
    // opened again: a second opening would only be refused.
    const char openState = cardVoucher ? '4' : '5';
    auto openOnPrinter = [&] {
        const auto p = readDocumentProgress();
        return p && p->state == openState;
    };
    const char *const openEntry =
        cardVoucher ? command_name::kOpenCardVoucher : command_name::kOpenReport;
    for (bool repeat = false;; repeat = true) {
        if (repeat && openOnPrinter()) {
            noteCarriedOut(openEntry);
            slips.open = true;
        } else {
            slips.open = cardVoucher ? openCardVoucher(colourScheme, paymentName, amountText)
                                     : openManagementReport(colourScheme, cerKey1, cerKey2, "");
            if (!slips.open && !lastCommandRefused() && openOnPrinter()) {
                noteCarriedOut(openEntry);
                slips.open = true;
            }
        }
        if (slips.open) {
            recordDocument(serialNumber, colourScheme, cardVoucher ? "CC" : "RG", "");
            break;
        }
        if (!boNUtilTaa || !askPrintAgain(colourScheme)) return false;
    }

    for (;;) {
        slips.pass();
        if (slips.error) {
            if (!boNUtilTaa || !askPrintAgain(colourScheme)) {
                slips.error = false;
                slips.finished = true;
                slips.open = false;
                slips.result = false;
            } else if (slips.open && !closeManagementReport(colourScheme, boNUtilTaa, false)) {
                // The document could not be closed: the next pass tries again.
            } else {
                // A reprint always goes into a management report.
                slips.open = openManagementReport(colourScheme, cerKey1, cerKey2, "");
                slips.error = !slips.open;
                slips.finished = !slips.open;
                if (slips.open) recordDocument(serialNumber, colourScheme, "RG", "");
            }
        }
        if (!slips.error && slips.finished) break;
    }
    if (slips.open) (void)closeManagementReport(colourScheme, boNUtilTaa, false);
    return slips.result;
}
