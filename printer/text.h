#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tivplatform/cp1252.h"
#include "tivplatform/text.h"

namespace ecfsim {

// Argument checks: each throws Refusal with the matching code.
std::string_view need(const char *text, std::size_t maxLength); // null: BadParameter
int64_t digits(const char *text, std::size_t maxLength);        // only digits, not empty
// Digits with `decimals` implied decimals, brought to `scale` decimals (truncated).
int64_t scaled(const char *text, std::size_t maxLength, int32_t decimals, int32_t scale);
int32_t flagText(const char *text); // "0"/"1" ("" counts as 0); else BadParameter

// Comparison of names as the printer does it: first 15 characters, trimmed, case ignored.
bool sameName(std::string_view a, std::string_view b);
// The printer trims blanks only.
inline std::string trim(std::string_view s) {
    return tiv::trim(s, " ");
}

std::string zeros(int64_t value, int width); // right-aligned digits, zero-filled, cut left
std::string money(int64_t cents);            // "1.234,56"
std::string padRight(std::string_view s, std::size_t width);
std::string center(std::string_view s);
std::string spread(std::string_view left, std::string_view right); // one 48-column line
std::vector<std::string> wrap(std::string_view block);             // split on LF, wrap at 48

// The printer's texts are CP1252, the control API's JSON UTF-8; what it is sent that is not
// well-formed UTF-8 it takes leniently, as "?".
using tiv::cp1252ToUtf8;
inline std::string utf8ToCp1252(std::string_view text) {
    return tiv::utf8ToCp1252Lenient(text);
}

} // namespace ecfsim
