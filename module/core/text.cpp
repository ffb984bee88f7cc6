#include "core/text.h"

#include <algorithm>
#include <cctype>

#include "tivplatform/errors.h"
#include "tivplatform/text.h"

namespace tiv02000 {

std::string copyText(const std::string &s, size_t pos1, size_t len) {
    if (pos1 == 0) pos1 = 1;
    if (pos1 > s.size()) return {};
    return s.substr(pos1 - 1, len);
}

std::string trim(const std::string &s) {
    return tiv::trim(s, tiv::kHostBlanks);
}

std::string upper(const std::string &s) {
    std::string r = s;
    // ASCII letters only, as the host platform's UpperCase does.
    std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) {
        return static_cast<char>(c < 0x80 ? std::toupper(c) : c);
    });
    return r;
}

bool isBlank(const std::string &s) {
    return trim(s).empty();
}

unsigned hexWord(const std::string &text) {
    if (text.size() != 4)
        throw tiv::ConversionError("'" + text + "' is not a four-digit hexadecimal word");
    unsigned value = 0;
    for (char c : text) {
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else
            throw tiv::ConversionError("'" + text + "' is not a four-digit hexadecimal word");
        value = value * 16 + d;
    }
    return value;
}

bool digitsAt(const std::string &s, size_t pos, size_t len, int64_t &out) {
    out = 0;
    if (pos > s.size() || len > s.size() - pos) return false;
    for (size_t i = pos; i < pos + len; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

} // namespace tiv02000
