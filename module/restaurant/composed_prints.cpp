// Prints whose text the host has composed: the table conference (the bill
// shown before payment), the exchange voucher and the list of payment kinds.
// Each is one management report, the text sent in chunks of whole lines.
#include <exception>
#include <string>

#include "core/call_guard.h"
#include "core/data_module.h"
#include "documents/documents.h"
#include "documents/report_chunks.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"

using namespace tiv02000;

namespace {

// Open, print in chunks, close. `closed` is the close's answer, which
// decides the record; the result is true only when the opening, every chunk
// and the close reached the paper.
bool printComposed(const char *print, const std::string &colourScheme, const std::string &cerKey1,
                   const std::string &cerKey2, const std::string &text, bool &closed) {
    ensureDataModule();
    const PaperCheck paper;
    (void)openManagementReport(colourScheme, cerKey1, cerKey2, "");
    printChunks(colourScheme, text);
    closed = closeManagementReport(colourScheme, true, false);
    if (paper.whole()) return closed;
    reportIncompletePrint(print, colourScheme, false);
    return false;
}

} // namespace

extern "C" TIV_EXPORT bool
Conferencia_Formatada(const std::string &colourScheme, const std::string &cerKey1,
                      const std::string &cerKey2, const std::string &serialNumber,
                      const std::string & /*unused5*/, const std::string &extraKey,
                      std::string &receiptNumberOut, const std::string &text) {
    const tiv02000::CallGuard guard;
    try {
        ensureDataModule();
        const PaperCheck paper;
        // The conference is the one restaurant print counted in the host's CER record.
        (void)openManagementReport(colourScheme, cerKey1, cerKey2, "incCer");
        receiptNumberOut = receiptNumber(colourScheme);
        printChunks(colourScheme, text);
        const bool closed = closeManagementReport(colourScheme, true, false);
        // Recorded whatever the close answered: the host ties the table to
        // this document through the extra key.
        if (extraKey.empty())
            recordDocument(serialNumber, colourScheme, "RG", "");
        else
            recordDocument(serialNumber, colourScheme, "CM", extraKey);
        // A bill missing a line is no bill to show the customer.
        if (paper.whole()) return closed;
        reportIncompletePrint("Conferencia_Formatada", colourScheme, false);
        return false;
    } catch (const std::exception &) {
        return false;
    }
}

extern "C" TIV_EXPORT bool Cupom_Troca(const std::string &colourScheme, const std::string &cerKey1,
                                       const std::string &cerKey2, const std::string &text) {
    const tiv02000::CallGuard guard;
    bool closed = false;
    return printComposed("Cupom_Troca", colourScheme, cerKey1, cerKey2, text, closed);
}

extern "C" TIV_EXPORT bool imprimeTipoRece(const std::string &cerKey1, const std::string &cerKey2,
                                           const std::string &colourScheme,
                                           const std::string &serialNumber,
                                           const std::string &text) {
    const tiv02000::CallGuard guard;
    bool closed = false;
    const bool whole =
        printComposed("imprimeTipoRece", colourScheme, cerKey1, cerKey2, text, closed);
    if (closed) recordDocument(serialNumber, colourScheme, "RG", "");
    return whole;
}
