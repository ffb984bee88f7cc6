#pragma once
#include <cstdint>

#include "errors.h"

// Checked arithmetic on amounts and totals. A result that would leave 64 bits, or the field
// the printer keeps and prints it in, refuses the command with Code::TooLarge; the command is
// rolled back, so nothing of it stays.
namespace ecfsim::amounts {

// The widest value of each field, in cents.
constexpr int64_t kGt = 999'999'999'999'999'999;   // GT: 18 digits
constexpr int64_t kTotal = 99'999'999'999'999'999; // day totals and rate bases: 17
constexpr int64_t kGross = 99'999'999'999'999;     // gross sales of the day: 14
constexpr int64_t kTable = 9'999'999'999'999;      // payment and totalizer totals: 13

inline int64_t add(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_add_overflow(a, b, &r)) throw Refusal{Code::TooLarge};
    return r;
}

inline int64_t mul(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw Refusal{Code::TooLarge};
    return r;
}

// a * b / d for a share of a (b <= d): the product is taken in 128 bits, where two 64-bit
// factors always fit, so a share of a large amount is exact instead of refused.
inline int64_t share(int64_t a, int64_t b, int64_t d) {
    __int128 q = static_cast<__int128>(a) * b / d;
    if (q > INT64_MAX || q < INT64_MIN) throw Refusal{Code::TooLarge};
    return static_cast<int64_t>(q);
}

// Adds amount to a total kept in a field of `max`; either both fit or nothing moves.
inline void addTo(int64_t &total, int64_t amount, int64_t max) {
    int64_t r = add(total, amount);
    if (r > max || r < -max) throw Refusal{Code::TooLarge};
    total = r;
}

} // namespace ecfsim::amounts
