#pragma once
#include <string>
#include <string_view>

#include "tivplatform/export.h"

namespace tiv {

// The text without the characters of `blanks` at either end.
TIV_EXPORT std::string trim(std::string_view text, std::string_view blanks = " \t");

// What the host platform's Trim removes: the blank and every control character below it.
inline constexpr std::string_view kHostBlanks{"\0\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0B\x0C\r"
                                              "\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17\x18"
                                              "\x19\x1A\x1B\x1C\x1D\x1E\x1F ",
                                              33};

} // namespace tiv
