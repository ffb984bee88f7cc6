#pragma once
#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

// The detail memory (MFD): every document the printer prints, kept for good in the printer's
// database by the command that prints it. beginDocument() stores the head of the document,
// printTrailer() its whole record; a receipt cancelled after it closed has its record marked.
namespace ecfsim::mfd {

// Document kinds, as the records and the files name them.
inline constexpr const char *kReceipt = "CF";     // fiscal receipt
inline constexpr const char *kVoucher = "CN";     // unlinked non-fiscal voucher, supply, withdrawal
inline constexpr const char *kCardVoucher = "CC"; // linked card voucher
inline constexpr const char *kReport = "RG";      // management report
inline constexpr const char *kXReading = "LX";    // X reading
inline constexpr const char *kZReduction = "RZ";  // Z reduction
inline constexpr const char *kMemoryReading = "MF"; // fiscal-memory reading
inline constexpr const char *kCancellation = "CA";  // cancellation of the last receipt

void begin(std::string_view title);
void end(bool cancelled);
void cancelReceipt(int64_t coo);

// Every record, in the order the documents began; a document still in progress shows its head
// with "open": true.
nlohmann::json records();

} // namespace ecfsim::mfd
