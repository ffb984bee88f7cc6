#include "tivplatform/text.h"

namespace tiv {

std::string trim(std::string_view text, std::string_view blanks) {
    const auto b = text.find_first_not_of(blanks);
    if (b == std::string_view::npos) return {};
    const auto e = text.find_last_not_of(blanks);
    return std::string(text.substr(b, e - b + 1));
}

} // namespace tiv
