#pragma once
// Counter, total and identity queries of the printer, as the other
// procedures of the driver use them.
#include <string>

namespace tiv02000 {

// The taxpayer number without its punctuation: every ".", "/" and "-" removed.
std::string FormataCNPJ(const std::string &text);

// A money text of the printer (digits with two implied decimals, blanks,
// "," and "." allowed) as a value: "1.234,56" and "123456" are both 1234.56;
// a blank text is 0. Text that is not a number raises tiv::ConversionError.
double moneyValue(const std::string &text);

} // namespace tiv02000
