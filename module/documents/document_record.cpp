// Recording a printed document's counters in the host's database.
#include "core/call_guard.h"
#include "core/dialogs.h"
#include "documents/documents.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/cp1252.h"
#include "tivplatform/datetime.h"

using namespace tiv02000;

namespace tiv02000 {

void recordDocument(const std::string &serialNumber, const std::string &colourScheme,
                    const std::string &documentCode, const std::string &extraKey) {
    try {
        // Readings, cancellations and fiscal-memory readings move no
        // non-fiscal counter.
        std::string nonFiscal, reports, credit;
        if (documentCode != "NC" && documentCode != "LX" && documentCode != "MF")
            (void)nonFiscalOperationCounter(colourScheme, nonFiscal);
        const std::string receipt = receiptNumber(colourScheme);
        if (documentCode == "CM" || documentCode == "RV" || documentCode == "RG")
            (void)managementReportCounter(colourScheme, reports);
        else if (documentCode == "CC")
            (void)creditVoucherCounter(colourScheme, credit);
        const tiv::TDateTime fiscalDate = tiv::dateOf(fiscalMovementDate(colourScheme));

        // The host keeps these texts wide; the printer's are CP1252.
        using tiv::cp1252ToWide;
        tivhost::setDocNaoFiscaisECF(cp1252ToWide(serialNumber), cp1252ToWide(receipt),
                                     cp1252ToWide(nonFiscal), cp1252ToWide(reports),
                                     cp1252ToWide(credit), cp1252ToWide(documentCode),
                                     cp1252ToWide(extraKey), tiv::now(), fiscalDate, "");
    } catch (const std::exception &e) {
        notice(operatorText(e, "GravaDocumentosNaoFiscais"), 3, colourScheme);
    }
}

} // namespace tiv02000

extern "C" TIV_EXPORT void GravaDocumentosNaoFiscais(const std::string &serialNumber,
                                                     const std::string &colourScheme,
                                                     const std::string &documentCode,
                                                     const std::string &extraKey) {
    const tiv02000::CallGuard guard;
    recordDocument(serialNumber, colourScheme, documentCode, extraKey);
}
