#pragma once
#include <string>

#include "tivplatform/export.h"

namespace tiv {

// The host platform's locale format settings. Defaults are Brazilian.
// Hosts and tests may change them; every formatting routine reads them.
struct TIV_EXPORT FormatSettings {
    char decimalSeparator = ',';
    char thousandSeparator = '.';
    std::string currencyString = "R$";
    // Positive currency format as on the host platform: 0 "R$1", 1 "1R$",
    // 2 "R$ 1", 3 "1 R$".
    int currencyFormat = 2;
    // Negative currency format as on the host platform (0..15); 9 is "-R$ 1".
    int negCurrFormat = 9;
    int currencyDecimals = 2;
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string shortDateFormat = "dd/mm/yyyy";
    std::string longTimeFormat = "hh:nn:ss";
    // Two-digit years: the window starts this many years before the current one.
    int twoDigitYearCenturyWindow = 50;
};

// The one settings object of the process.
TIV_EXPORT FormatSettings& formatSettings();
// Puts the Brazilian defaults back (tests).
TIV_EXPORT void resetFormatSettings();

} // namespace tiv
