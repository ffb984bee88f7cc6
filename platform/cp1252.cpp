#include "tivplatform/cp1252.h"

#include <cstdint>

#include "tivplatform/errors.h"

namespace tiv {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Bytes 0x80..0x9F; the five the code page leaves undefined are U+FFFD.
constexpr char32_t kHigh[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, // 88-8F
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178, // 98-9F
};

char32_t decode(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
}

void appendUtf8(std::string &out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int toCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    if (cp == kReplacement) return -1;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp) return 0x80 + i;
    return -1;
}

[[noreturn]] void malformed(size_t offset) {
    throw ConversionError("cannot convert text to Windows-1252: malformed UTF-8 at byte " +
                          std::to_string(offset));
}

} // namespace

std::string cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            appendUtf8(out, decode(b));
    }
    return out;
}

std::wstring cp1252ToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (char ch : text)
        out += static_cast<wchar_t>(decode(static_cast<unsigned char>(ch)));
    return out;
}

std::string wideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
        appendUtf8(out, cp);
    }
    return out;
}

std::string utf8ToCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t len;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            len = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            len = 4;
        } else {
            malformed(i);
        }
        if (i + len > text.size()) malformed(i);
        for (size_t k = 1; k < len; ++k) {
            auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) malformed(i);
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            malformed(i);
        int mapped = toCp1252(cp);
        out += mapped < 0 ? '?' : static_cast<char>(mapped);
        i += len;
    }
    return out;
}

std::string utf8ToCp1252Lenient(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t len;
        if (b < 0x80) {
            cp = b, len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F, len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F, len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07, len = 4;
        } else {
            out += '?', ++i;
            continue;
        }
        if (i + len > text.size()) {
            out += '?';
            break;
        }
        for (size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += len;
        int mapped = toCp1252(cp);
        out += mapped < 0 ? '?' : static_cast<char>(mapped);
    }
    return out;
}

} // namespace tiv
