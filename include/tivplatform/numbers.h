#pragma once
#include <string>

#include "tivplatform/export.h"

namespace tiv {

// The host platform's float-format mask language: "0" digit, "#" optional
// digit, "." decimal point (printed as the settings' separator), "," thousands
// grouping, anything else (and quoted text) literal. Rounds half away from
// zero at the mask's last decimal, as a person reads the decimal value.
TIV_EXPORT std::string formatFloat(const std::string &mask, double value);
// Fixed notation with `digits` decimals, no grouping ("1234,50").
TIV_EXPORT std::string formatFixed(double value, int digits);
// The shortest general form (15 significant digits, no trailing zeros).
TIV_EXPORT std::string floatToStr(double value);
// The settings' currency format with 2 decimals and grouping ("R$ 1.234,50").
TIV_EXPORT std::string formatCurrency(double value);

// Text to number with the settings' decimal separator; surrounding blanks
// allowed. Bad text raises ConversionError naming it.
TIV_EXPORT double strToFloat(const std::string &text);
TIV_EXPORT bool tryStrToFloat(const std::string &text, double &out);
TIV_EXPORT int64_t strToInt(const std::string &text);
TIV_EXPORT bool tryStrToInt(const std::string &text, int64_t &out);
TIV_EXPORT std::string intToStr(int64_t value);

// Truncation to 2 or 3 decimals of the decimal value a person reads
// (10.005 -> 10.00, 12.349 -> 12.34, 1.50 stays 1.50).
TIV_EXPORT double trunc2(double value);
TIV_EXPORT double trunc3(double value);
// Rounding half away from zero to `decimals` places of the decimal value.
TIV_EXPORT double roundDec(double value, int decimals);

} // namespace tiv
