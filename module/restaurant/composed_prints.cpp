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

// Open, print in chunks, close; the close decides.
bool printComposed(const std::string &colourScheme, const std::string &cerKey1,
                   const std::string &cerKey2, const std::string &text) {
    ensureDataModule();
    (void)openManagementReport(colourScheme, cerKey1, cerKey2, "");
    printChunks(colourScheme, text);
    return closeManagementReport(colourScheme, true, false);
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
        return closed;
    } catch (const std::exception &) {
        return false;
    }
}

extern "C" TIV_EXPORT bool Cupom_Troca(const std::string &colourScheme, const std::string &cerKey1,
                                       const std::string &cerKey2, const std::string &text) {
    const tiv02000::CallGuard guard;
    return printComposed(colourScheme, cerKey1, cerKey2, text);
}

extern "C" TIV_EXPORT bool imprimeTipoRece(const std::string &cerKey1, const std::string &cerKey2,
                                           const std::string &colourScheme,
                                           const std::string &serialNumber,
                                           const std::string &text) {
    const tiv02000::CallGuard guard;
    const bool closed = printComposed(colourScheme, cerKey1, cerKey2, text);
    if (closed) recordDocument(serialNumber, colourScheme, "RG", "");
    return closed;
}
