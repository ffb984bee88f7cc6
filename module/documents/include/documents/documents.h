#pragma once
// Non-fiscal documents as the driver's other subsystems print them. The
// exported procedures of documents/ are adapters over these.
#include <string>

namespace tiv02000 {

// Management report "1", after closing a voucher or report left open. When
// `cerFlag` is not empty an opened report is counted in the host's CER
// record under the two keys.
bool openManagementReport(const std::string &colourScheme, const std::string &cerKey1,
                          const std::string &cerKey2, const std::string &cerFlag);
// Lines into the open report or voucher.
bool printReportText(const std::string &colourScheme, const std::string &text);
bool closeManagementReport(const std::string &colourScheme, bool show, bool analysisFlag);

// An unlinked voucher under `totalizerName` for `amountCents`, paid with
// `paymentName`.
bool issueUnlinkedVoucher(const std::string &colourScheme, const std::string &totalizerName,
                          const std::string &amountCents, const std::string &paymentName);
// A card voucher linked to a payment of the receipt.
bool openCardVoucher(const std::string &colourScheme, const std::string &paymentName,
                     const std::string &amountCents);

// Records a printed document's counters in the host's database; a failure
// is shown to the operator, never raised.
void recordDocument(const std::string &serialNumber, const std::string &colourScheme,
                    const std::string &documentCode, const std::string &extraKey);

} // namespace tiv02000
