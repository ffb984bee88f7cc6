#pragma once
// Calls a procedure of the module with arguments given in JSON. The argument
// converters are chosen by the C++ parameter type, so a procedure's thunk
// follows from its pointer type alone; the declared parameter text refines
// the one case the type cannot tell apart (a date-time is a double).
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "json_forms.h"
#include "tivplatform/cp1252.h"

namespace tivtool {

// One parameter as the module's header declares it.
struct ArgInfo {
    std::string name;     // "movementDate"
    std::string declared; // "tiv::TDateTime&"
    bool dateTime = false;
};

// What a call gave back: the return value (absent for procedures without
// one), every argument the procedure may have written, and the text of an
// exception that reached the caller.
struct CallOutcome {
    std::optional<Json> returned;
    Json out = Json::object();
    std::optional<std::string> exception;
};

template <typename T> struct Arg {
    static_assert(sizeof(T) == 0, "no JSON form for this parameter type");
};

// --- read-only values --------------------------------------------------------

template <> struct Arg<const std::string &> {
    using Storage = std::string;
    static Storage make(const Json &j, const ArgInfo &) { return textFromJson(j); }
    static const std::string &pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

template <> struct Arg<const std::wstring &> {
    using Storage = std::wstring;
    static Storage make(const Json &j, const ArgInfo &) { return wideFromJson(j); }
    static const std::wstring &pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

template <> struct Arg<int32_t> {
    using Storage = int32_t;
    static Storage make(const Json &j, const ArgInfo &) {
        const bool inRange =
            j.is_number_unsigned()
                ? j.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
                : j.is_number_integer() &&
                      j.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
                      j.get<int64_t>() <= std::numeric_limits<int32_t>::max();
        if (!inRange) wrongShape("a 32-bit integer", j);
        return j.get<int32_t>();
    }
    static int32_t pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

template <> struct Arg<bool> {
    using Storage = bool;
    static Storage make(const Json &j, const ArgInfo &) {
        if (!j.is_boolean()) wrongShape("a boolean", j);
        return j.get<bool>();
    }
    static bool pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

// A real, or a date-time where the header declares one.
inline double realOrDateTimeFromJson(const Json &j, bool dateTime) {
    if (dateTime) {
        if (j.is_number()) return j.get<double>();
        if (!isDateTimeForm(j)) wrongShape("{\"datetime\": \"YYYY-MM-DD hh:mm:ss\"}", j);
        return dateTimeFromJson(j);
    }
    if (!j.is_number()) wrongShape("a number", j);
    return j.get<double>();
}

template <> struct Arg<double> {
    using Storage = double;
    static Storage make(const Json &j, const ArgInfo &info) {
        return realOrDateTimeFromJson(j, info.dateTime);
    }
    static double pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

template <> struct Arg<const tiv::Variant &> {
    using Storage = tiv::Variant;
    static Storage make(const Json &j, const ArgInfo &) { return variantFromJson(j); }
    static const tiv::Variant &pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

// --- outs: {"out": initial value} ----------------------------------------------

inline const Json &outInitial(const Json &j, const std::string &what) {
    if (!j.is_object() || j.size() != 1 || !j.contains("out"))
        wrongShape("{\"out\": " + what + "}", j);
    return j["out"];
}

template <> struct Arg<std::string &> {
    using Storage = std::string;
    static Storage make(const Json &j, const ArgInfo &) {
        const Json &v = outInitial(j, "initial text");
        if (!v.is_string()) wrongShape("{\"out\": initial text}", j);
        return textFromJson(v);
    }
    static std::string &pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &s, const ArgInfo &) { return textToJson(s); }
};

template <> struct Arg<bool &> {
    using Storage = bool;
    static Storage make(const Json &j, const ArgInfo &) {
        const Json &v = outInitial(j, "initial boolean");
        if (!v.is_boolean()) wrongShape("{\"out\": initial boolean}", j);
        return v.get<bool>();
    }
    static bool &pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &s, const ArgInfo &) { return Json(s); }
};

template <> struct Arg<double &> {
    using Storage = double;
    static Storage make(const Json &j, const ArgInfo &info) {
        const std::string what = info.dateTime ? "{\"datetime\": ...}" : "initial number";
        const Json &v = outInitial(j, what);
        try {
            return realOrDateTimeFromJson(v, info.dateTime);
        } catch (const ShapeError &) {
            wrongShape("{\"out\": " + what + "}", j);
        }
    }
    static double &pass(Storage &s) { return s; }
    static std::optional<Json> out(Storage &s, const ArgInfo &info) {
        return info.dateTime ? dateTimeToJson(s) : Json(s);
    }
};

// --- parameter arrays (in/out) and result arrays --------------------------------

struct VariantOut {
    tiv::Variant value;
    bool resultArray = false; // made from {"result": n}
};

template <> struct Arg<tiv::Variant &> {
    using Storage = VariantOut;
    static Storage make(const Json &j, const ArgInfo &) {
        if (j.is_object() && j.size() == 1 && j.contains("result")) {
            const Json &n = j["result"];
            if (!n.is_number_integer() || n.get<int64_t>() < 0 ||
                n.get<int64_t>() > static_cast<int64_t>(maxResultSize))
                wrongShape("{\"result\": size from 0 to " + std::to_string(maxResultSize) + "}", j);
            return {tiv::Variant::array(n.get<size_t>()), true};
        }
        return {variantFromJson(j), false};
    }
    static tiv::Variant &pass(Storage &s) { return s.value; }
    static std::optional<Json> out(Storage &s, const ArgInfo &) {
        return s.resultArray ? variantToJson(s.value) : paramsToJson(s.value);
    }
};

// --- datasets and string lists ----------------------------------------------------

// The host owns what it passed; when the procedure put another object in a
// by-reference argument, the host owns that one too.
template <typename T> struct Owned {
    std::unique_ptr<T> passed;
    T *ptr = nullptr;
    std::unique_ptr<T> replaced;
    void adoptReplacement() {
        if (ptr && ptr != passed.get() && !replaced) replaced.reset(ptr);
    }
};

template <> struct Arg<tiv::TClientDataSet *> {
    using Storage = std::unique_ptr<tiv::TClientDataSet>;
    static Storage make(const Json &j, const ArgInfo &) {
        if (j.is_null()) return nullptr;
        return datasetFromJson(j);
    }
    static tiv::TClientDataSet *pass(Storage &s) { return s.get(); }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

template <> struct Arg<tiv::TClientDataSet *&> {
    using Storage = Owned<tiv::TClientDataSet>;
    static Storage make(const Json &j, const ArgInfo &) {
        Storage s;
        if (!j.is_null()) s.passed = datasetFromJson(j);
        s.ptr = s.passed.get();
        return s;
    }
    static tiv::TClientDataSet *&pass(Storage &s) { return s.ptr; }
    static std::optional<Json> out(Storage &s, const ArgInfo &) {
        s.adoptReplacement();
        return s.ptr ? datasetToJson(*s.ptr) : Json(nullptr);
    }
};

template <> struct Arg<tiv::TStringList *> {
    using Storage = std::unique_ptr<tiv::TStringList>;
    static Storage make(const Json &j, const ArgInfo &) {
        if (j.is_null()) return nullptr;
        return stringListFromJson(j);
    }
    static tiv::TStringList *pass(Storage &s) { return s.get(); }
    static std::optional<Json> out(Storage &, const ArgInfo &) { return std::nullopt; }
};

template <> struct Arg<tiv::TStringList *&> {
    using Storage = Owned<tiv::TStringList>;
    static Storage make(const Json &j, const ArgInfo &) {
        Storage s;
        if (!j.is_null()) s.passed = stringListFromJson(j);
        s.ptr = s.passed.get();
        return s;
    }
    static tiv::TStringList *&pass(Storage &s) { return s.ptr; }
    static std::optional<Json> out(Storage &s, const ArgInfo &) {
        s.adoptReplacement();
        return s.ptr ? stringListToJson(*s.ptr) : Json(nullptr);
    }
};

// --- return values -------------------------------------------------------------

inline Json returnToJson(bool v, bool) {
    return v;
}
inline Json returnToJson(const std::string &v, bool) {
    return textToJson(v);
}
inline Json returnToJson(double v, bool dateTime) {
    return dateTime ? dateTimeToJson(v) : Json(v);
}

// --- the thunk -------------------------------------------------------------------

// Prefixes a conversion error with the argument it concerns.
template <typename A>
typename Arg<A>::Storage makeArg(const Json &args, size_t i, const ArgInfo &info) {
    try {
        return Arg<A>::make(args[i], info);
    } catch (const ShapeError &e) {
        throw ShapeError("argument " + std::to_string(i + 1) + " (" + info.name + "): " + e.what(),
                         i + 1);
    }
}

template <typename Sig> struct Thunk;

template <typename R, typename... A> struct Thunk<R (*)(A...)> {
    static constexpr size_t arity = sizeof...(A);
    using Storage = std::tuple<typename Arg<A>::Storage...>;

    static void checkCount(const Json &args) {
        if (!args.is_array() || args.size() != arity)
            throw ShapeError("expected " + std::to_string(arity) + " argument" +
                             (arity == 1 ? "" : "s") + " in \"args\", got " +
                             (args.is_array() ? std::to_string(args.size()) : args.dump()));
    }

    template <size_t... I>
    static Storage prepare(const Json &args, const std::vector<ArgInfo> &infos,
                           std::index_sequence<I...>) {
        // Braced initialisation converts the arguments left to right, so the
        // first bad one is the one reported.
        return Storage{makeArg<A>(args, I, infos[I])...};
    }

    // Converts every argument and throws ShapeError at the first one that has
    // not its form; nothing is called.
    static void validate(const Json &args, const std::vector<ArgInfo> &infos) {
        checkCount(args);
        prepare(args, infos, std::index_sequence_for<A...>{});
    }

    template <size_t... I>
    static void collectOuts(Storage &st, const std::vector<ArgInfo> &infos, CallOutcome &outcome,
                            std::index_sequence<I...>) {
        [[maybe_unused]] auto one = [&](auto &storage, const ArgInfo &info, auto tag) {
            using ArgType = typename decltype(tag)::type;
            if (auto j = Arg<ArgType>::out(storage, info)) outcome.out[info.name] = std::move(*j);
        };
        (one(std::get<I>(st), infos[I], std::type_identity<A>{}), ...);
    }

    template <size_t... I>
    static CallOutcome invoke(void *symbol, const Json &args, const std::vector<ArgInfo> &infos,
                              bool dateTimeReturn, std::index_sequence<I...> seq) {
        Storage st = prepare(args, infos, seq);
        auto fn = reinterpret_cast<R (*)(A...)>(symbol);
        CallOutcome outcome;
        try {
            if constexpr (std::is_void_v<R>) {
                fn(Arg<A>::pass(std::get<I>(st))...);
            } else {
                outcome.returned =
                    returnToJson(fn(Arg<A>::pass(std::get<I>(st))...), dateTimeReturn);
            }
        } catch (const std::exception &e) {
            outcome.exception = tiv::cp1252ToUtf8(e.what());
        } catch (...) {
            outcome.exception = "an exception that is not a std::exception";
        }
        collectOuts(st, infos, outcome, seq);
        return outcome;
    }

    static CallOutcome call(void *symbol, const Json &args, const std::vector<ArgInfo> &infos,
                            bool dateTimeReturn) {
        checkCount(args);
        return invoke(symbol, args, infos, dateTimeReturn, std::index_sequence_for<A...>{});
    }
};

} // namespace tivtool
