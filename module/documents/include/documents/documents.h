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

// Whether a print reached the paper whole: every opening, line and closing of
// a management report that the printer did not answer as done (its answer
// not 0) since the check was made is counted, so a print built on many of
// them asks once, at its end. Checks nest: a print made inside another is
// counted by both.
class PaperCheck {
  public:
    PaperCheck();
    // No opening, line or closing failed since the check was made.
    bool whole() const;

  private:
    unsigned long failuresBefore_;
};

// Tells the host (stMensagemTaa and the debug log), and the operator when
// `show`, that `print` did not reach the paper whole.
void reportIncompletePrint(const std::string &print, const std::string &colourScheme, bool show);

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
