// Recording a printed document's counters in the host's database.
#include <array>

#include "core/call_guard.h"
#include "core/dialogs.h"
#include "documents/documents.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"

using namespace tiv02000;

namespace {

// Windows-1252 bytes 0x80-0x9F; the rest of the code page maps to the same
// code point. Undefined bytes become U+FFFD.
constexpr std::array<wchar_t, 32> kHighControls{
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::wstring wide(const std::string &text) {
    std::wstring out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        out += (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : static_cast<wchar_t>(b);
    }
    return out;
}

} // namespace

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

        tivhost::setDocNaoFiscaisECF(wide(serialNumber), wide(receipt), wide(nonFiscal),
                                     wide(reports), wide(credit), wide(documentCode),
                                     wide(extraKey), tiv::now(), fiscalDate, "");
    } catch (const std::exception &e) {
        notice(e.what(), 3, colourScheme);
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
