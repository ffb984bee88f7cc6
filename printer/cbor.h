#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

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

// A record: a struct whose fields ECFSIM_RECORD lists, by name and member. The CBOR writer
// below and the JSON conversions (state_json.h) both walk that one list.
template <class R, class T> struct RecordField {
    const char *name;
    T R::*member;
};
template <class R>
concept Record = requires {
    recordFields(std::type_identity<R>{});
};

template <Record R> void cbor(CborWriter &w, const R &r) {
    std::apply(
        [&](const auto &...field) {
            w.head(5, sizeof...(field));
            ((cbor(w, std::string_view(field.name)), cbor(w, r.*(field.member))), ...);
        },
        recordFields(std::type_identity<R>{}));
}

// Fields a record keeps beside its list, stored another way (none unless
// ECFSIM_RECORD_BESIDE names them).
template <class R> constexpr std::tuple<> recordFieldsBeside(std::type_identity<R>) {
    return {};
}

// What lets the build check that a record's list names every field of its struct: the number
// of fields an aggregate has (the most initializers it takes) ...
struct AnyField {
    template <class T> operator T() const;
};
template <class R, std::size_t... I> constexpr bool takesInitializers(std::index_sequence<I...>) {
    return requires {
        R{(static_cast<void>(I), AnyField{})...};
    };
}
template <class R, std::size_t N = 0> constexpr std::size_t fieldCount() {
    if constexpr (takesInitializers<R>(std::make_index_sequence<N + 1>{}))
        return fieldCount<R, N + 1>();
    else
        return N;
}
// ... and whether the members listed are all different.
template <class A, class B> constexpr bool sameMember(A a, B b) {
    if constexpr (std::is_same_v<A, B>)
        return a == b;
    else
        return false;
}
template <class... M> constexpr bool distinctMembers(M... members) {
    bool distinct = true;
    auto once = [&](auto m) { distinct = distinct && (0 + ... + sameMember(m, members)) == 1; };
    (once(members), ...);
    return distinct;
}
// True when the record's list and the fields kept beside it name each field of R once: a
// field added to the struct and not to its list (so neither stored nor shown) fails the build.
template <Record R> constexpr bool recordListsEveryField() {
    auto listed = std::apply([](auto... field) { return std::tuple{field.member...}; },
                             recordFields(std::type_identity<R>{}));
    return std::apply(
        [](auto... member) {
            return sizeof...(member) == fieldCount<R>() && distinctMembers(member...);
        },
        std::tuple_cat(listed, recordFieldsBeside(std::type_identity<R>{})));
}

template <class T> std::string toCbor(const T &value) {
    CborWriter w;
    cbor(w, value);
    return w.bytes();
}

} // namespace ecfsim

// ECFSIM_RECORD(Type, field...): lists a record's fields, in the order they are stored.
// Every field of Type must be listed, or kept beside the list (ECFSIM_RECORD_BESIDE, before it).
#define ECFSIM_RECORD(Type, ...)                                                                   \
    constexpr auto recordFields(std::type_identity<Type>) {                                        \
        using ecfsimRecord = Type;                                                                 \
        return std::tuple{ECFSIM_FOR_EACH(ECFSIM_RECORD_FIELD, __VA_ARGS__)};                      \
    }                                                                                              \
    static_assert(::ecfsim::recordListsEveryField<Type>(),                                         \
                  "ECFSIM_RECORD(" #Type ", ...) must name each field of " #Type " once");
#define ECFSIM_RECORD_FIELD(field) ::ecfsim::RecordField{#field, &ecfsimRecord::field},
// ECFSIM_RECORD_BESIDE(Type, field...): fields of Type stored beside its record, not in it.
#define ECFSIM_RECORD_BESIDE(Type, ...)                                                            \
    constexpr auto recordFieldsBeside(std::type_identity<Type>) {                                  \
        using ecfsimRecord = Type;                                                                 \
        return std::tuple{ECFSIM_FOR_EACH(ECFSIM_RECORD_BESIDE_FIELD, __VA_ARGS__)};               \
    }
#define ECFSIM_RECORD_BESIDE_FIELD(field) &ecfsimRecord::field,

// ECFSIM_FOR_EACH(macro, a, b, ...): macro(a) macro(b) ..., for up to 27 arguments.
#define ECFSIM_PARENS ()
#define ECFSIM_EXPAND(...) ECFSIM_EXPAND3(ECFSIM_EXPAND3(ECFSIM_EXPAND3(__VA_ARGS__)))
#define ECFSIM_EXPAND3(...) ECFSIM_EXPAND2(ECFSIM_EXPAND2(ECFSIM_EXPAND2(__VA_ARGS__)))
#define ECFSIM_EXPAND2(...) ECFSIM_EXPAND1(ECFSIM_EXPAND1(ECFSIM_EXPAND1(__VA_ARGS__)))
#define ECFSIM_EXPAND1(...) __VA_ARGS__
#define ECFSIM_FOR_EACH(macro, ...)                                                                \
    __VA_OPT__(ECFSIM_EXPAND(ECFSIM_FOR_EACH_STEP(macro, __VA_ARGS__)))
#define ECFSIM_FOR_EACH_STEP(macro, first, ...)                                                    \
    macro(first) __VA_OPT__(ECFSIM_FOR_EACH_AGAIN ECFSIM_PARENS(macro, __VA_ARGS__))
#define ECFSIM_FOR_EACH_AGAIN() ECFSIM_FOR_EACH_STEP
