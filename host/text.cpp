// Fixed-width text routines for printed lines and printer fields. Texts are
// Windows-1252, so one byte is one column.
#include <algorithm>

#include "tivhost/host.h"
#include "tivplatform/numbers.h"

namespace tivhost {

namespace {

bool isDigits(const std::string &s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string trimBlanks(const std::string &s) {
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

// The last n characters, the left part of a number being the one to lose.
std::string lastN(const std::string &s, size_t n) {
    return s.substr(s.size() - n);
}

} // namespace

std::string Replicate(const std::string &s, int n) {
    std::string out;
    if (n <= 0 || s.empty()) return out;
    out.reserve(s.size() * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::string TamFixo(const std::string &s, int n) {
    if (n <= 0) return {};
    std::string out = s.substr(0, static_cast<size_t>(n));
    out.resize(static_cast<size_t>(n), ' ');
    return out;
}

std::string TamFixoR(const std::string &s, int n) {
    if (n <= 0) return {};
    size_t w = static_cast<size_t>(n);
    if (s.size() >= w) return lastN(s, w);
    return std::string(w - s.size(), ' ') + s;
}

std::string PadL(const std::string &s, int16_t n) {
    if (n <= 0 || s.size() >= static_cast<size_t>(n)) return s;
    return std::string(static_cast<size_t>(n) - s.size(), ' ') + s;
}

std::string Ajusta(const std::string &s, int n) {
    if (n <= 0) return {};
    size_t w = static_cast<size_t>(n);
    std::string digits = trimBlanks(s);
    if (isDigits(digits)) {
        if (digits.size() >= w) return lastN(digits, w);
        return std::string(w - digits.size(), '0') + digits;
    }
    return TamFixo(s, n);
}

std::string AjustaZero(const std::string &s, int n) {
    if (n <= 0) return {};
    size_t w = static_cast<size_t>(n);
    std::string t = trimBlanks(s);
    if (t.size() >= w) return lastN(t, w);
    return std::string(w - t.size(), '0') + t;
}

std::string Centraliza(const std::string &s, uint8_t w) {
    std::string t = trimBlanks(s).substr(0, w);
    size_t left = (w - t.size()) / 2;
    return std::string(left, ' ') + t + std::string(w - t.size() - left, ' ');
}

std::string RTrim(const std::string &s) {
    size_t last = s.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : s.substr(0, last + 1);
}

bool EmptyString(const std::string &s) {
    return s.find_first_not_of(' ') == std::string::npos;
}

Variant iif(bool c, const Variant &a, const Variant &b) {
    return c ? a : b;
}

double RoundDec(double x, int n) {
    return tiv::roundDec(x, n);
}
double Trunc2(double x) {
    return tiv::trunc2(x);
}
double Trunc3(double x) {
    return tiv::trunc3(x);
}

} // namespace tivhost
