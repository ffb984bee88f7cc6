#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "fiscal_rules.h"

// The printed document: its head, its trailer and the forms its lines print.
namespace ecfsim::rules {

// Starts a printed document: COO + 1, header, title; the document is then in `state`.
void beginDocument(DocState state, std::string_view title);
// Ends the printed document and keeps its record in the detail memory.
void printTrailer(bool cancelled = false);

std::string taxLabel(const std::string &key); // printed form
std::string formatQuantity(int64_t thousandths);

} // namespace ecfsim::rules
