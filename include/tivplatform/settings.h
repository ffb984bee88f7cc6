#pragma once
#include <array>
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
    std::string shortTimeFormat = "hh:nn";
    // "dddd, d' de 'mmmm' de 'yyyy" (day and month names below).
    std::string longDateFormat = "dddd, d' de 'mmmm' de 'yyyy";
    std::string timeAMString = "AM";
    std::string timePMString = "PM";
    // Names as Windows-1252 bytes; months January first, days Sunday first.
    std::array<std::string, 12> shortMonthNames{"jan", "fev", "mar", "abr", "mai", "jun",
                                                "jul", "ago", "set", "out", "nov", "dez"};
    std::array<std::string, 12> longMonthNames{"janeiro",  "fevereiro", "mar\xE7o", "abril",
                                               "maio",     "junho",     "julho",    "agosto",
                                               "setembro", "outubro",   "novembro", "dezembro"};
    // Octal escapes where a letter that reads as a hex digit follows the accent.
    std::array<std::string, 7> shortDayNames{"dom", "seg", "ter", "qua", "qui", "sex", "s\341b"};
    std::array<std::string, 7> longDayNames{"domingo",      "segunda-feira", "ter\347a-feira",
                                            "quarta-feira", "quinta-feira",  "sexta-feira",
                                            "s\341bado"};
    // Two-digit years: the window starts this many years before the current one.
    int twoDigitYearCenturyWindow = 50;
};

// The one settings object of the process.
TIV_EXPORT FormatSettings &formatSettings();
// Puts the Brazilian defaults back (tests).
TIV_EXPORT void resetFormatSettings();

} // namespace tiv
