#pragma once
#include <string>
#include <string_view>

namespace ecfsim {

// Writes a file the printer hands over whole or not at all: a temporary file beside it, flushed
// to disk, then renamed over the name asked for. A failure leaves no file behind and throws
// Refusal{Code::FileFailed}.
void writeFileAtomically(const std::string &path, std::string_view bytes);

} // namespace ecfsim
