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

std::string trim(std::string_view s) {
    auto b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    auto e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
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

namespace {
// Windows-1252 0x80..0x9F; 0 marks the five undefined bytes.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void putUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
} // namespace

std::string cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c >= 0x80 && c < 0xA0) {
            char16_t u = kHigh[c - 0x80];
            putUtf8(out, u ? u : 0xFFFD);
        } else {
            putUtf8(out, c);
        }
    }
    return out;
}

std::string utf8ToCp1252(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        std::size_t len;
        if (c < 0x80) {
            cp = c, len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07, len = 4;
        } else {
            out += '?', ++i;
            continue;
        }
        if (i + len > text.size()) {
            out += '?';
            break;
        }
        for (std::size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] && kHigh[k] == cp) mapped = static_cast<char>(0x80 + k);
        out += mapped;
    }
    return out;
}

} // namespace ecfsim
