#pragma once
// Storage of dataset rows and the comparisons that filters, locate and
// indexes share, so that all three order and match values the same way.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tivplatform/dataset.h"

namespace tiv::detail {

// One value of a row. Null is monostate; DateTime fields keep their serial
// as a double; String fields never keep "" (an empty text is null, as on the
// host platform).
using Cell = std::variant<std::monostate, std::string, int64_t, double, bool>;

struct Row {
    std::vector<Cell> cells;
};
using RowPtr = std::unique_ptr<Row>;

inline bool isNull(const Cell &c) {
    return std::holds_alternative<std::monostate>(c);
}

// Texts compare without their trailing blanks: a field holding "" or " "
// equals ' ' in a filter, which is what "CDFPIMPFIS <> ' '" relies on.
inline std::string_view trimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return s.substr(0, n);
}

inline std::string_view cellText(const Cell &c) {
    if (const auto *s = std::get_if<std::string>(&c)) return *s;
    return {};
}

// Numeric view of an Integer, Float or DateTime cell.
inline double cellNumber(const Cell &c) {
    if (const auto *i = std::get_if<int64_t>(&c)) return static_cast<double>(*i);
    if (const auto *d = std::get_if<double>(&c)) return *d;
    if (const auto *b = std::get_if<bool>(&c)) return *b ? 1.0 : 0.0;
    return 0.0;
}

// Windows-1252 lower case of one byte (ASCII and the accented letters).
inline unsigned char foldCp1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
        return static_cast<unsigned char>(c + 0x10);
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

inline int compareText(std::string_view a, std::string_view b, bool caseInsensitive) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (caseInsensitive) {
            x = foldCp1252(x);
            y = foldCp1252(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

inline int compareNumber(double a, double b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Order of two cells of one field: nulls first, then by the field's type.
inline int compareCells(const Cell &a, const Cell &b, FieldType type) {
    const bool na = isNull(a), nb = isNull(b);
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    if (type == FieldType::String)
        return compareText(trimRight(cellText(a)), trimRight(cellText(b)), false);
    return compareNumber(cellNumber(a), cellNumber(b));
}

// Key under which a field or index name is looked up (case-insensitive).
std::string nameKey(std::string_view name);
const char *fieldTypeName(FieldType t);

} // namespace tiv::detail
