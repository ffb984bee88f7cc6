#include "tivplatform/numbers.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "tivplatform/errors.h"
#include "tivplatform/settings.h"
#include "tivplatform/text.h"

namespace tiv {

namespace {

// A finite double as the decimal a person reads: at most 15 significant
// digits (what a double holds for sure), so 0.29 is "29"e-2 and not
// 0.28999999999999998. value = 0.digits * 10^point.
struct Decimal {
    bool negative = false;
    std::string digits; // no leading or trailing zeros; empty for zero
    int point = 0;
};

Decimal toDecimal(double value) {
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0.0) {
        d.negative = false;
        return d;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value)); // d.dddddddddddddde+XX
    std::string text(buf);
    size_t e = text.find('e');
    std::string mantissa = text.substr(0, e);
    int exponent = std::atoi(text.c_str() + e + 1);
    for (char c : mantissa)
        if (c != '.') d.digits += c;
    d.point = exponent + 1;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

enum class Rounding { HalfAwayFromZero, Truncate };

// The value with exactly `decimals` fraction digits.
struct Fixed {
    bool negative = false;
    std::string intDigits; // no leading zeros; empty for zero
    std::string fracDigits;
    bool isZero() const {
        return intDigits.empty() && fracDigits.find_first_not_of('0') == std::string::npos;
    }
};

Fixed toFixed(double value, int decimals, Rounding rounding) {
    Decimal d = toDecimal(value);
    // All digits of the integer part and `decimals` fraction digits, plus the
    // first dropped digit.
    std::string all; // integer digits followed by fraction digits
    int intCount = d.point > 0 ? d.point : 0;
    for (int i = 0; i < intCount; ++i)
        all += i < static_cast<int>(d.digits.size()) ? d.digits[i] : '0';
    for (int k = 0; k < decimals + 1; ++k) {
        int idx = d.point + k; // index into digits of fraction position k
        all += (idx >= 0 && idx < static_cast<int>(d.digits.size())) ? d.digits[idx] : '0';
    }
    char dropped = all.back();
    all.pop_back();
    // Any digit dropped beyond the first only matters for truncation, which
    // ignores it, and for half-away rounding, which looks at the first alone.
    if (rounding == Rounding::HalfAwayFromZero && dropped >= '5') {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[i] == '9') {
            all[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++all[i];
        } else {
            all.insert(all.begin(), '1');
            ++intCount;
        }
    }
    Fixed f;
    f.negative = d.negative;
    f.intDigits = all.substr(0, intCount);
    f.fracDigits = all.substr(intCount);
    size_t nz = f.intDigits.find_first_not_of('0');
    f.intDigits = nz == std::string::npos ? std::string() : f.intDigits.substr(nz);
    if (f.isZero()) f.negative = false;
    return f;
}

double fixedToDouble(const Fixed &f) {
    std::string text = f.negative ? "-" : "";
    text += f.intDigits.empty() ? "0" : f.intDigits;
    if (!f.fracDigits.empty()) text += "." + f.fracDigits;
    return std::strtod(text.c_str(), nullptr);
}

std::string nonFinite(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// Integer digits with the thousands separator every three places.
std::string grouped(const std::string &digits, char separator) {
    std::string out;
    size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        out += digits[i];
        size_t left = n - i - 1;
        if (left > 0 && left % 3 == 0) out += separator;
    }
    return out;
}

// One section of a float-format mask, split into what it prints.
struct MaskPart {
    enum Kind { Literal, Digit, Point } kind;
    char digit = 0; // '0' or '#'
    std::string text;
};

struct MaskSection {
    std::vector<MaskPart> parts;
    int intPlaceholders = 0;
    int minIntDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouping = false;
    bool hasPoint = false;
};

MaskSection parseSection(const std::string &s) {
    MaskSection m;
    int firstZeroInt = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"' || c == '\'') {
            size_t end = s.find(c, i + 1);
            if (end == std::string::npos) end = s.size();
            m.parts.push_back({MaskPart::Literal, 0, s.substr(i + 1, end - i - 1)});
            i = end;
        } else if (c == '0' || c == '#') {
            m.parts.push_back({MaskPart::Digit, c, {}});
            if (!m.hasPoint) {
                if (c == '0' && firstZeroInt < 0) firstZeroInt = m.intPlaceholders;
                ++m.intPlaceholders;
            } else {
                ++m.maxDecimals;
                if (c == '0') m.minDecimals = m.maxDecimals;
            }
        } else if (c == '.' && !m.hasPoint) {
            m.hasPoint = true;
            m.parts.push_back({MaskPart::Point, 0, {}});
        } else if (c == ',') {
            if (!m.hasPoint) m.grouping = true;
        } else {
            m.parts.push_back({MaskPart::Literal, 0, std::string(1, c)});
        }
    }
    if (firstZeroInt >= 0) m.minIntDigits = m.intPlaceholders - firstZeroInt;
    return m;
}

std::string applySection(const MaskSection &m, const Fixed &f) {
    const FormatSettings &fs = formatSettings();
    std::string intDigits = f.intDigits;
    while (static_cast<int>(intDigits.size()) < m.minIntDigits)
        intDigits.insert(intDigits.begin(), '0');
    std::string frac = f.fracDigits;
    while (static_cast<int>(frac.size()) > m.minDecimals && !frac.empty() && frac.back() == '0')
        frac.pop_back();

    std::string out;
    const int len = static_cast<int>(intDigits.size());
    const int offset = len - m.intPlaceholders; // digits beyond the placeholders
    int intSeen = 0;
    int fracSeen = 0;
    bool afterPoint = false;
    auto emitIntDigit = [&](int idx) {
        out += intDigits[idx];
        int left = len - idx - 1;
        if (m.grouping && left > 0 && left % 3 == 0) out += fs.thousandSeparator;
    };
    for (const MaskPart &p : m.parts) {
        switch (p.kind) {
        case MaskPart::Literal:
            out += p.text;
            break;
        case MaskPart::Point:
            if (m.intPlaceholders == 0) // ".00": the integer digits go before the point
                for (int k = 0; k < len; ++k)
                    emitIntDigit(k);
            afterPoint = true;
            if (!frac.empty()) out += fs.decimalSeparator;
            break;
        case MaskPart::Digit:
            if (!afterPoint) {
                int idx = intSeen + offset;
                if (intSeen == 0)
                    for (int k = 0; k < offset; ++k)
                        emitIntDigit(k); // the first placeholder takes every extra digit
                if (idx >= 0) emitIntDigit(idx);
                ++intSeen;
            } else {
                if (fracSeen < static_cast<int>(frac.size())) out += frac[fracSeen];
                ++fracSeen;
            }
            break;
        }
    }
    return out;
}

std::vector<std::string> splitSections(const std::string &mask) {
    std::vector<std::string> sections(1);
    char quote = 0;
    for (char c : mask) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

} // namespace

std::string formatFloat(const std::string &mask, double value) {
    if (!std::isfinite(value)) return nonFinite(value);
    if (mask.empty()) return floatToStr(value);
    std::vector<std::string> sections = splitSections(mask);
    const bool negative = value < 0;

    // The section for the sign, and the value as it prints there.
    size_t which = (negative && sections.size() >= 2 && !sections[1].empty()) ? 1 : 0;
    MaskSection m = parseSection(sections[which]);
    Fixed f = toFixed(value, m.maxDecimals, Rounding::HalfAwayFromZero);
    if (f.isZero() && sections.size() >= 3 && !sections[2].empty()) {
        MaskSection z = parseSection(sections[2]);
        return applySection(z, toFixed(0.0, z.maxDecimals, Rounding::HalfAwayFromZero));
    }
    std::string out = applySection(m, f);
    if (f.negative && which == 0) out.insert(out.begin(), '-');
    return out;
}

std::string formatFixed(double value, int digits) {
    if (!std::isfinite(value)) return nonFinite(value);
    if (digits < 0) digits = 0;
    if (digits > 18) digits = 18;
    Fixed f = toFixed(value, digits, Rounding::HalfAwayFromZero);
    std::string out = f.negative ? "-" : "";
    out += f.intDigits.empty() ? "0" : f.intDigits;
    if (digits > 0) out += formatSettings().decimalSeparator + f.fracDigits;
    return out;
}

std::string floatToStr(double value) {
    if (!std::isfinite(value)) return nonFinite(value);
    Decimal d = toDecimal(value);
    if (d.digits.empty()) return "0";
    const char sep = formatSettings().decimalSeparator;
    std::string out = d.negative ? "-" : "";
    if (d.point > 15 || d.point < -3) {
        // Scientific: "1,5E-6", "1E20".
        out += d.digits[0];
        if (d.digits.size() > 1) out += sep + d.digits.substr(1);
        out += "E" + std::to_string(d.point - 1);
        return out;
    }
    if (d.point <= 0) {
        out += "0";
        out += sep;
        out += std::string(-d.point, '0') + d.digits;
    } else if (d.point >= static_cast<int>(d.digits.size())) {
        out += d.digits + std::string(d.point - d.digits.size(), '0');
    } else {
        out += d.digits.substr(0, d.point) + sep + d.digits.substr(d.point);
    }
    return out;
}

std::string formatCurrency(double value) {
    if (!std::isfinite(value)) return nonFinite(value);
    const FormatSettings &fs = formatSettings();
    Fixed f = toFixed(value, 2, Rounding::HalfAwayFromZero);
    std::string n = grouped(f.intDigits.empty() ? "0" : f.intDigits, fs.thousandSeparator);
    n += fs.decimalSeparator + f.fracDigits;
    const std::string &c = fs.currencyString;
    if (!f.negative) {
        switch (fs.currencyFormat) {
        case 0:
            return c + n;
        case 1:
            return n + c;
        case 3:
            return n + " " + c;
        default:
            return c + " " + n;
        }
    }
    switch (fs.negCurrFormat) {
    case 0:
        return "(" + c + n + ")";
    case 1:
        return "-" + c + n;
    case 2:
        return c + "-" + n;
    case 3:
        return c + n + "-";
    case 4:
        return "(" + n + c + ")";
    case 5:
        return "-" + n + c;
    case 6:
        return n + "-" + c;
    case 7:
        return n + c + "-";
    case 8:
        return "-" + n + " " + c;
    case 10:
        return n + " " + c + "-";
    case 11:
        return c + " " + n + "-";
    case 12:
        return c + " -" + n;
    case 13:
        return n + "- " + c;
    case 14:
        return "(" + c + " " + n + ")";
    case 15:
        return "(" + n + " " + c + ")";
    default:
        return "-" + c + " " + n; // 9
    }
}

bool tryStrToFloat(const std::string &text, double &out) {
    const char sep = formatSettings().decimalSeparator;
    std::string t = trim(text);
    // [sign] digits [sep digits] [E [sign] digits], with the settings' separator only.
    std::string c; // the same in C notation for strtod
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
    size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
        c += t[i++];
        ++digits;
    }
    if (i < t.size() && t[i] == sep) {
        c += '.';
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            c += t[i++];
            ++digits;
        }
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        c += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
        size_t expDigits = 0;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            c += t[i++];
            ++expDigits;
        }
        if (expDigits == 0) return false;
    }
    if (i != t.size()) return false;
    errno = 0;
    double v = std::strtod(c.c_str(), nullptr);
    if (!std::isfinite(v)) return false;
    out = v;
    return true;
}

double strToFloat(const std::string &text) {
    double v;
    if (!tryStrToFloat(text, v))
        throw ConversionError("cannot convert text " + quoted(text) + " to Real");
    return v;
}

bool tryStrToInt(const std::string &text, int64_t &out) {
    std::string t = trim(text);
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == t.size()) return false;
    // Accumulate as a negative number so INT64_MIN fits.
    int64_t acc = 0;
    const int64_t lim = std::numeric_limits<int64_t>::min();
    for (; i < t.size(); ++i) {
        int digit;
        char ch = t[i];
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (base == 16 && ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else if (base == 16 && ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        else
            return false;
        if (acc < (lim + digit) / base) return false;
        acc = acc * base - digit;
    }
    if (!negative) {
        if (acc == lim) return false;
        acc = -acc;
    }
    out = acc;
    return true;
}

int64_t strToInt(const std::string &text) {
    int64_t v;
    if (!tryStrToInt(text, v))
        throw ConversionError("cannot convert text " + quoted(text) + " to Integer");
    return v;
}

std::string intToStr(int64_t value) {
    return std::to_string(value);
}

double trunc2(double value) {
    if (!std::isfinite(value)) return value;
    return fixedToDouble(toFixed(value, 2, Rounding::Truncate));
}

double trunc3(double value) {
    if (!std::isfinite(value)) return value;
    return fixedToDouble(toFixed(value, 3, Rounding::Truncate));
}

double roundDec(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    if (decimals < 0) decimals = 0;
    if (decimals > 15) decimals = 15;
    return fixedToDouble(toFixed(value, decimals, Rounding::HalfAwayFromZero));
}

} // namespace tiv
