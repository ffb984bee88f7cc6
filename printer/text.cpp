#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "errors.h"
#include "state.h"

namespace ecfsim {

std::string_view need(const char *text, std::size_t maxLength) {
    if (!text) throw Refusal{Code::BadParameter};
    std::size_t n = strnlen(text, maxLength + 1);
    if (n > maxLength) throw Refusal{Code::TooLong};
    return {text, n};
}

int64_t digits(const char *text, std::size_t maxLength) {
    std::string_view s = need(text, maxLength);
    if (s.empty()) throw Refusal{Code::NotNumeric};
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') throw Refusal{Code::NotNumeric};
        v = v * 10 + (c - '0');
    }
    return v;
}

int64_t scaled(const char *text, std::size_t maxLength, int32_t decimals, int32_t scale) {
    if (decimals < 0 || decimals > 4) throw Refusal{Code::BadParameter};
    int64_t v = digits(text, std::min<std::size_t>(maxLength, 15));
    for (int32_t d = decimals; d < scale; ++d)
        v *= 10;
    for (int32_t d = scale; d < decimals; ++d)
        v /= 10;
    return v;
}

int32_t flagText(const char *text) {
    std::string_view s = need(text, 1);
    if (s.empty() || s == "0") return 0;
    if (s == "1") return 1;
    throw Refusal{Code::BadParameter};
}

static std::string nameKey(std::string_view s) {
    std::string t = trim(s.substr(0, 15));
    for (char &c : t)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

bool sameName(std::string_view a, std::string_view b) {
    return nameKey(a) == nameKey(b);
}

std::string zeros(int64_t value, int width) {
    std::string s = std::to_string(value < 0 ? -value : value);
    if (s.size() < static_cast<std::size_t>(width)) s.insert(0, width - s.size(), '0');
    return s.substr(s.size() - width);
}

std::string money(int64_t cents) {
    bool neg = cents < 0;
    int64_t v = neg ? -cents : cents;
    std::string whole = std::to_string(v / 100);
    for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
        whole.insert(i, ".");
    return (neg ? "-" : "") + whole + "," + zeros(v % 100, 2);
}

std::string padRight(std::string_view s, std::size_t width) {
    std::string t(s.substr(0, width));
    t.append(width - t.size(), ' ');
    return t;
}

std::string center(std::string_view s) {
    if (s.size() >= kColumns) return std::string(s);
    return std::string((kColumns - s.size()) / 2, ' ') + std::string(s);
}

std::string spread(std::string_view left, std::string_view right) {
    if (left.size() + right.size() + 1 > kColumns)
        return std::string(left) + " " + std::string(right);
    return std::string(left) + std::string(kColumns - left.size() - right.size(), ' ') +
           std::string(right);
}

std::vector<std::string> wrap(std::string_view block) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= block.size()) {
        std::size_t end = block.find('\n', start);
        bool last = end == std::string_view::npos;
        std::string_view line = block.substr(start, last ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (last && line.empty() && !out.empty()) break; // a block ending in LF
        if (line.empty()) out.emplace_back();
        for (std::size_t p = 0; p < line.size(); p += kColumns)
            out.emplace_back(line.substr(p, kColumns));
        if (last) break;
        start = end + 1;
    }
    return out;
}

} // namespace ecfsim
