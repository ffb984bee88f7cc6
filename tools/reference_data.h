#pragma once
// The reference's JSON files, built into the program (see procedure_reference.h).
#include <span>
#include <string_view>

namespace tivtool {

std::span<const std::string_view> referenceParts();

} // namespace tivtool
