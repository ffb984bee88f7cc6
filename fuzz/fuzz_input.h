#pragma once
// Reads a fuzzer's bytes as a sequence of choices, numbers and texts. When the
// bytes run out every read answers zero or an empty text, so any input
// decodes to some sequence of calls.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tivfuzz {

class FuzzInput {
  public:
    FuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }

    uint8_t byte() {
        const uint8_t b = empty() ? 0 : data_[pos_++];
        if (echo_) echo_->push_back(static_cast<char>(b));
        return b;
    }

    // Every byte read from now on is also appended to `out` (nullptr: none).
    void echoTo(std::string *out) { echo_ = out; }

    // One of `count` choices (count > 0).
    size_t choice(size_t count) { return byte() % count; }

    // Small values, the edges of the type, or any four bytes.
    int32_t int32() {
        const uint8_t b = byte();
        if (b < 96) return static_cast<int32_t>(b) - 8;
        if (b < 160) {
            static constexpr int32_t kEdges[] = {
                INT32_MIN, INT32_MIN + 1, -1000000,      -1,        0,    1, 999999,
                1000000,   9999999,       INT32_MAX - 1, INT32_MAX, 65535};
            return kEdges[b % (sizeof kEdges / sizeof kEdges[0])];
        }
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | byte();
        int32_t out;
        std::memcpy(&out, &v, sizeof out);
        return out;
    }

    // A text of any bytes (NULs included) of at most `maxLength`: a length
    // byte, 255 meaning a longer text whose length takes two more bytes.
    std::string text(size_t maxLength) {
        size_t length = byte();
        if (length == 255) length = (size_t{byte()} << 8) | byte();
        length = std::min({length, maxLength, size_ - std::min(pos_, size_)});
        std::string out(reinterpret_cast<const char *>(data_ + std::min(pos_, size_)), length);
        pos_ += length;
        if (echo_) echo_->append(out);
        return out;
    }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
    std::string *echo_ = nullptr;
};

// The bytes that FuzzInput reads back as `v`.
inline std::string encodeInt32(int32_t v) {
    if (v >= -8 && v < 88) return std::string(1, static_cast<char>(v + 8));
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<char>(0xFF), static_cast<char>(u >> 24), static_cast<char>(u >> 16),
            static_cast<char>(u >> 8), static_cast<char>(u)};
}

// The bytes that FuzzInput::text reads back as `t` (up to 65535 bytes).
inline std::string encodeText(const std::string &t) {
    std::string out;
    if (t.size() < 255) {
        out.push_back(static_cast<char>(t.size()));
    } else {
        out.push_back(static_cast<char>(255));
        out.push_back(static_cast<char>(t.size() >> 8));
        out.push_back(static_cast<char>(t.size()));
    }
    return out + t;
}

} // namespace tivfuzz
