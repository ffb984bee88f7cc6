#pragma once
#include <string>
#include <string_view>

#include "tivplatform/export.h"

namespace tiv {

// Windows-1252 bytes to UTF-8. The five undefined bytes map to U+FFFD.
TIV_EXPORT std::string cp1252ToUtf8(std::string_view text);
// UTF-8 to Windows-1252; characters the code page lacks become "?", and
// malformed UTF-8 raises ConversionError.
TIV_EXPORT std::string utf8ToCp1252(std::string_view text);
// Windows-1252 bytes to code points, one wchar_t each (the host's wide texts); the five
// undefined bytes become U+FFFD.
TIV_EXPORT std::wstring cp1252ToWide(std::string_view text);
// Code points, one wchar_t each, to UTF-8; a value that is no character (a surrogate, beyond
// U+10FFFF, negative) becomes U+FFFD rather than invalid UTF-8.
TIV_EXPORT std::string wideToUtf8(std::wstring_view text);
// The same, lenient as a printer is with what it is sent: a byte that cannot start a
// character becomes "?", a sequence cut short at the end becomes one "?" and ends the text,
// and a sequence's other bytes are taken as they come (overlong forms included).
TIV_EXPORT std::string utf8ToCp1252Lenient(std::string_view text);

} // namespace tiv
