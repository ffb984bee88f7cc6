#pragma once
#include <cctype>
#include <string_view>

namespace tiv::detail {

// Equal but for the case of ASCII letters, as the host compares names and keywords.
inline bool sameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace tiv::detail
