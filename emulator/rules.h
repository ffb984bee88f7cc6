#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "printer.h"

// Rules shared by the command families.
namespace ecfsim::rules {

inline Printer &P() {
    return Printer::instance();
}
inline State &S() {
    return Printer::instance().st;
}

// Refuses when any document is open.
void requireNoDocument();
// Refuses unless a fiscal day of today's date is open. autoOpen: the ESC/ECF family opens the
// day by itself with its first document.
void requireDay(bool autoOpen);
void openDay();
// Starts a printed document: COO + 1, header, title; the document is then in `state`.
void beginDocument(DocState state, std::string_view title);
void printTrailer();

// "Ta".."Tt", "T1".."T20", "F"/"F1", "I"/"I1", "N"/"N1" to the internal key "T01".."T20",
// "F", "I", "N"; refuses UnknownTax for anything else or an empty rate slot.
std::string taxKey(std::string_view code);
std::string taxLabel(const std::string &key); // printed form
void addToTax(const std::string &key, int64_t amount);

int32_t paymentByName(std::string_view name); // slot (1-based); refuses UnknownPayment
int32_t paymentByCode(std::string_view code);
int32_t totalizer(std::string_view nameOrNumber); // 1-based; refuses UnknownTotalizer

std::string formatQuantity(int64_t thousandths);

// The fiscal-memory record a Z reduction makes of the day in progress (its CRZ already
// advanced), and what keeping it leaves: the record stored as the last reduction, the day's
// totals back to zero, the day closed, nothing left to cancel.
nlohmann::json reductionRecord();
void keepReduction(const nlohmann::json &z);

} // namespace ecfsim::rules
