// Management report "1": opening, printing, closing, and the prints built
// on it (a whole text, the standard heading).
#include "management_report.h"

#include "core/call_guard.h"
#include "documents/documents.h"

#include "core/binding.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/debug_log.h"
#include "core/document_progress.h"
#include "core/error_report.h"
#include "core/reply.h"
#include "core/return_analysis.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"

using namespace tiv02000;

namespace tiv02000 {

namespace {
constexpr size_t kMinimumChunk = 500;
constexpr uint8_t kColumns = 48;

// Openings, lines and closings the printer did not answer as done, since the
// module was loaded.
unsigned long reportFailures = 0;

// Blocks of lines the open report is known to have printed: the printer's account of the
// report counts them, so a block whose answer was lost is told from one never printed.
int blocksPrinted = 0;

// What the printer's account of the open document shows after a report command whose
// answer was not a clean success.
enum class ReportStep { Open, Lines, Close };
bool carriedOut(ReportStep step) {
    if (lastCommandRefused()) return false;
    const auto doc = readDocumentProgress();
    if (!doc) return false;
    switch (step) {
    case ReportStep::Open:
        return doc->state == '5' && doc->items == 0;
    case ReportStep::Lines:
        return doc->state == '5' && doc->items == blocksPrinted + 1;
    case ReportStep::Close:
        return doc->state == '0';
    }
    return false;
}

// The command's answer decides whether it reached the paper: an answer of 0
// is the printer's own "done", even when the status read after it fails.
// Any other answer is checked against the printer's account of the report,
// and a step it shows done is done. The analysis decides the notices only.
bool judged(const Analysis &how, const Sent &sent, ReportStep step) {
    const bool verdict = analyse(how, sent);
    bool done = sent.returnCode == 0;
    if (!done && carriedOut(step)) {
        noteCarriedOut(sent.entry);
        done = true;
    }
    if (!done) ++reportFailures;
    if (done && step == ReportStep::Open) blocksPrinted = 0;
    if (done && step == ReportStep::Lines) ++blocksPrinted;
    // A step the printer did is done, whatever the status read after it said.
    return verdict || done;
}

bool closeReport(const std::string &colourScheme, bool show, bool analysisFlag) {
    return judged({colourScheme, show, analysisFlag}, family().closeReport(), ReportStep::Close);
}
} // namespace

PaperCheck::PaperCheck() : failuresBefore_(reportFailures) {}

bool PaperCheck::whole() const {
    return reportFailures == failuresBefore_;
}

void reportIncompletePrint(const std::string &print, const std::string &colourScheme, bool show) {
    reportError(print +
                    ": impress\xE3o incompleta; a impressora fiscal n\xE3o confirmou que todo o "
                    "documento chegou ao papel.",
                colourScheme, show);
}

std::vector<std::string> reportChunks(const std::string &text) {
    std::vector<std::string> chunks;
    size_t from = 0;
    while (from < text.size()) {
        size_t to = from;
        while (to < text.size() && to - from < kMinimumChunk) {
            const size_t lf = text.find('\n', to);
            to = lf == std::string::npos ? text.size() : lf + 1;
        }
        chunks.push_back(text.substr(from, to - from));
        from = to;
    }
    return chunks;
}

void printChunks(const std::string &colourScheme, const std::string &text) {
    for (const std::string &chunk : reportChunks(text))
        (void)printReportText(colourScheme, chunk);
}

tiv::TDateTime hostFiscalDate(const std::string &colourScheme) {
    const auto &hostProc = tivhost::DataMoviFiscal();
    return hostProc ? hostProc(colourScheme) : fiscalMovementDate(colourScheme);
}

std::string standardHeading(const std::string &title, const std::string &tillCode,
                            tiv::TDateTime when) {
    const std::string rule = tivhost::Replicate("-", kColumns) + "\n";
    return "\n" + rule + tivhost::Centraliza(title, kColumns) + "\n" + "\n" + rule +
           "Caixa: " + tillCode + std::string(16, ' ') +
           tiv::formatDateTime("dd/mm/yyyy hh:nn", when) + "\n" + rule;
}

bool openManagementReport(const std::string &colourScheme, const std::string &cerKey1,
                          const std::string &cerKey2, const std::string &cerFlag) {
    // A voucher or report left open would refuse the opening: close it first.
    Reply state(58, '\0');
    (void)EPSON(EPSON_Obter_Estado_Cupom)(state.data());
    const std::string document = copyText(state.text(), 2, 1);
    // A document left by an earlier print is not this print's paper: only
    // the opening that follows decides.
    if (document == "2" || document == "4" || document == "5")
        (void)analyse({colourScheme, true, false}, family().closeReport());

    const bool opened = judged({colourScheme, boNUtilTaa}, family().openReport(), ReportStep::Open);

    if (opened && !cerFlag.empty()) {
        // The report is open whatever happens to the host's counter: a
        // recording failure is logged, never turned into a failed opening.
        try {
            tivhost::GravaCER(cerKey1, cerKey2, hostFiscalDate(colourScheme));
        } catch (const std::exception &e) {
            logDebug(std::string("GravaCER: ") + e.what());
        }
    }
    return opened;
}

bool printReportText(const std::string &colourScheme, const std::string &text) {
    return judged({colourScheme, boNUtilTaa}, family().printReportLines(text), ReportStep::Lines);
}

bool closeManagementReport(const std::string &colourScheme, bool show, bool analysisFlag) {
    return closeReport(colourScheme, show, analysisFlag);
}

} // namespace tiv02000

extern "C" TIV_EXPORT bool Relatorio_Gerencial_Imp(const std::string &colourScheme,
                                                   const std::string &cerKey1,
                                                   const std::string &cerKey2,
                                                   const std::string & /*unused4*/,
                                                   const std::string &cerFlag) {
    const tiv02000::CallGuard guard;
    return openManagementReport(colourScheme, cerKey1, cerKey2, cerFlag);
}

extern "C" TIV_EXPORT bool Usa_CompNFis(const std::string &colourScheme, const std::string &text) {
    const tiv02000::CallGuard guard;
    return printReportText(colourScheme, text);
}

extern "C" TIV_EXPORT bool FechRelatGerenc(const std::string &colourScheme, bool showMessages,
                                           bool analysisFlag) {
    const tiv02000::CallGuard guard;
    return closeManagementReport(colourScheme, showMessages, analysisFlag);
}

extern "C" TIV_EXPORT bool Relatorio_Generico(const std::string &colourScheme,
                                              const std::string &cerKey1,
                                              const std::string &cerKey2, const std::string &text,
                                              const std::string &serialNumber,
                                              const std::string & /*unused6*/) {
    const tiv02000::CallGuard guard;
    // Printing goes on after a failed opening; the close decides the record,
    // and every piece reaching the paper the result.
    const PaperCheck paper;
    (void)openManagementReport(colourScheme, cerKey1, cerKey2, "");
    printChunks(colourScheme, text);
    const bool closed = closeManagementReport(colourScheme, true, false);
    if (closed) recordDocument(serialNumber, colourScheme, "RG", "");
    if (!paper.whole()) reportIncompletePrint("Relatorio_Generico", colourScheme, false);
    return closed && paper.whole();
}

extern "C" TIV_EXPORT bool Cabecalho(const std::string &cerKey1, const std::string &colourScheme,
                                     const std::string &title, const std::string &tillCode,
                                     const std::string & /*unused5*/,
                                     const std::string & /*unused6*/) {
    const tiv02000::CallGuard guard;
    try {
        (void)openManagementReport(colourScheme, cerKey1, tillCode, "");
        const std::string heading = standardHeading(title, tillCode, tiv::now());
        (void)printReportText(colourScheme, heading.substr(0, kBlockLimit));
        return true;
    } catch (const std::exception &) {
        return false;
    }
}
