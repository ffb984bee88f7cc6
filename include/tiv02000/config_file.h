#pragma once
// The till's configuration file: the printers a till may use and the grand
// total (GT) last seen on each. The driver checks the printer's serial number
// and GT against it; a host, or `tiv config`, writes it.
//
// A client-dataset file with one row per branch, till and printer. Encoded
// fields go through tivhost::Cripto / Uncripto with kKey.
namespace tiv02000::config_file {

inline constexpr const char *kName = "Pravell.cds";
inline constexpr int kKey = 2000;

inline constexpr const char *kBranch = "CDFILIAL";   // plain
inline constexpr const char *kTill = "CDCAIXA";      // plain
inline constexpr const char *kSerial = "NRSERIEECF"; // encoded
inline constexpr const char *kCheckGt = "CAMPO01";   // "S": the GT is checked
inline constexpr const char *kGt = "CAMPO02";        // encoded decimal text

// Field sizes of a file the project writes. An encoded text takes two
// characters per byte, so 100 holds a GT of any width the printer has.
inline constexpr int kBranchSize = 10, kTillSize = 10, kSerialSize = 60, kGtSize = 100;

// A stored GT that decodes to this value (in the system's decimal form,
// "10,10" in Brazil) has not been recorded yet: the printer's replaces it.
inline constexpr double kGtNotRecorded = 10.10;

} // namespace tiv02000::config_file
