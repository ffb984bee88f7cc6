#pragma once
// Text routines the procedures read the printer's fixed-position answers with.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tiv02000 {

// 1-based substring as the driver reads fixed positions; positions past the
// end read as empty, never out of bounds.
std::string copyText(const std::string &s, size_t pos1, size_t len);
std::string trim(const std::string &s);
std::string upper(const std::string &s);
bool isBlank(const std::string &s);
// The `len` characters from 0-based `pos` as a number: false, and `out` not to be used, when
// they run past the end or are not all digits.
bool digitsAt(const std::string &s, size_t pos, size_t len, int64_t &out);

// Exactly four hexadecimal digits, letters in either case; anything else
// raises ConversionError, as the host platform's conversion does.
unsigned hexWord(const std::string &text);

} // namespace tiv02000
