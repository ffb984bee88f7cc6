// Field encoding for configuration files: each byte XOR one byte of a
// keystream drawn from the key, written as two upper-case hex digits. The
// keystream restarts at every call, so one text and one key always give the
// same encoding (the driver filters on encoded values).
#include <cstdint>

#include "tivhost/host.h"

namespace tivhost {

namespace {

class KeyStream {
  public:
    // The fixed salt keeps small keys such as 0 from leaving the first byte
    // readable.
    explicit KeyStream(int key) : state_(static_cast<uint32_t>(key) ^ 0xA5A5A5A5u) {}
    // A linear congruential step; its high byte is the least regular one.
    unsigned char next() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<unsigned char>(state_ >> 16);
    }

  private:
    uint32_t state_;
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::string Cripto(const std::string &s, int key) {
    static const char digits[] = "0123456789ABCDEF";
    KeyStream ks(key);
    std::string out;
    out.reserve(s.size() * 2);
    for (char c : s) {
        unsigned char b = static_cast<unsigned char>(c) ^ ks.next();
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::string Uncripto(const std::string &s, int key) {
    if (s.size() % 2 != 0)
        throw tiv::DataError("Uncripto: encoded text of " + std::to_string(s.size()) +
                             " characters; it must hold two hex digits per byte");
    KeyStream ks(key);
    std::string out;
    out.reserve(s.size() / 2);
    for (size_t i = 0; i < s.size(); i += 2) {
        int hi = hexValue(s[i]);
        int lo = hexValue(s[i + 1]);
        if (hi < 0 || lo < 0)
            throw tiv::DataError("Uncripto: character at position " +
                                 std::to_string(hi < 0 ? i + 1 : i + 2) +
                                 " of the encoded text is not a hex digit");
        out += static_cast<char>(static_cast<unsigned char>(hi << 4 | lo) ^ ks.next());
    }
    return out;
}

} // namespace tivhost
