#pragma once
#include <cstdint>
#include <string_view>

#include "epson/result_codes.h"

namespace ecfsim {

// Result codes the printer leaves in status positions 17-20 (four hexadecimal digits): the
// shared list, whose operator texts the driver shows for them. What each one is refused for is
// in docs/printer.md.
#define ECFSIM_RESULT_CODE_ENUM(name, code, meaning) name = code,
enum class Code : uint16_t { EPSON_RESULT_CODES(ECFSIM_RESULT_CODE_ENUM) };
#undef ECFSIM_RESULT_CODE_ENUM

// Thrown by a command's rules; the command is rolled back and returns 1.
struct Refusal {
    Code code;
};

} // namespace ecfsim
