#pragma once
#include <string>
#include <string_view>

#include "tivplatform/export.h"

namespace tiv {

// The text without the characters of `blanks` at either end.
TIV_EXPORT std::string trim(std::string_view text, std::string_view blanks = " \t");

} // namespace tiv
