#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace ecfsim {

// Writes records straight to CBOR, the encoding the database keeps. Building a JSON tree first
// was most of the cost of a command; the bytes are the same shape nlohmann's reader takes back.
class CborWriter {
  public:
    const std::string &bytes() const { return out_; }

    void head(unsigned major, uint64_t n) {
        const auto m = static_cast<char>(major << 5);
        if (n < 24) {
            out_.push_back(static_cast<char>(m | static_cast<char>(n)));
        } else if (n <= 0xFF) {
            out_.push_back(static_cast<char>(m | 24));
            out_.push_back(static_cast<char>(n));
        } else if (n <= 0xFFFF) {
            out_.push_back(static_cast<char>(m | 25));
            bigEndian(n, 2);
        } else if (n <= 0xFFFFFFFF) {
            out_.push_back(static_cast<char>(m | 26));
            bigEndian(n, 4);
        } else {
            out_.push_back(static_cast<char>(m | 27));
            bigEndian(n, 8);
        }
    }
    void raw(std::string_view encoded) { out_ += encoded; }

  private:
    void bigEndian(uint64_t n, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            out_.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    }
    std::string out_;
};

inline void cbor(CborWriter &w, int64_t v) {
    if (v >= 0)
        w.head(0, static_cast<uint64_t>(v));
    else
        w.head(1, static_cast<uint64_t>(-(v + 1)));
}
inline void cbor(CborWriter &w, int32_t v) {
    cbor(w, static_cast<int64_t>(v));
}
inline void cbor(CborWriter &w, bool v) {
    w.head(7, v ? 21 : 20);
}
inline void cbor(CborWriter &w, std::string_view s) {
    w.head(3, s.size());
    w.raw(s);
}
inline void cbor(CborWriter &w, const std::string &s) {
    w.head(3, s.size());
    w.raw(s);
}
inline void cbor(CborWriter &w, const nlohmann::json &j) {
    std::string bytes;
    nlohmann::json::to_cbor(j, bytes);
    w.raw(bytes);
}
template <class T> void cbor(CborWriter &w, const std::vector<T> &v) {
    w.head(4, v.size());
    for (const auto &e : v)
        cbor(w, e);
}
template <class T> void cbor(CborWriter &w, const std::map<std::string, T> &m) {
    w.head(5, m.size());
    for (const auto &[k, e] : m) {
        cbor(w, k);
        cbor(w, e);
    }
}

template <class T> std::string toCbor(const T &value) {
    CborWriter w;
    cbor(w, value);
    return w.bytes();
}

} // namespace ecfsim

// Declares a record's JSON conversions (missing keys keep their defaults) and its CBOR writer,
// from one list of fields.
#define ECFSIM_CBOR_ONE(field) +1
#define ECFSIM_CBOR_FIELD(field)                                                                   \
    cbor(w, std::string_view(#field));                                                             \
    cbor(w, r.field);
#define ECFSIM_RECORD(Type, ...)                                                                   \
    NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Type, __VA_ARGS__)                             \
    inline void cbor(CborWriter &w, const Type &r) {                                               \
        w.head(5, 0 NLOHMANN_JSON_EXPAND(NLOHMANN_JSON_PASTE(ECFSIM_CBOR_ONE, __VA_ARGS__)));      \
        NLOHMANN_JSON_EXPAND(NLOHMANN_JSON_PASTE(ECFSIM_CBOR_FIELD, __VA_ARGS__))                  \
    }
