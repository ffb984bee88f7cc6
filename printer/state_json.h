#pragma once
// JSON of the state and its records, for the units that read stored CBOR or answer in JSON;
// the others include state.h alone and compile without the JSON library.
#include <string_view>

#include <nlohmann/json.hpp>

#include "state.h"

namespace ecfsim {

// Every record (ECFSIM_RECORD) to and from a JSON object of its fields; a field missing from
// the object keeps its default.
template <Record R> void to_json(nlohmann::json &j, const R &r) {
    j = nlohmann::json::object();
    std::apply([&](const auto &...field) { ((j[field.name] = r.*(field.member)), ...); },
               recordFields(std::type_identity<R>{}));
}
template <Record R> void from_json(const nlohmann::json &j, R &r) {
    const R defaults{};
    std::apply(
        [&](const auto &...field) {
            ((r.*(field.member) = j.value(field.name, defaults.*(field.member))), ...);
        },
        recordFields(std::type_identity<R>{}));
}

// The state as ECFSIM_State() shows it (texts still in CP1252).
void to_json(nlohmann::json &j, const State &s);

// Stored CBOR to JSON; throws nlohmann::json::exception on damaged data.
inline nlohmann::json fromCbor(std::string_view bytes) {
    return nlohmann::json::from_cbor(bytes);
}
inline std::string jsonToCbor(const nlohmann::json &j) {
    std::string out;
    nlohmann::json::to_cbor(j, out);
    return out;
}
// The last Z reduction's record; null before the first.
inline nlohmann::json zRecord(const ZRecord &z) {
    return z.cbor.empty() ? nlohmann::json() : fromCbor(z.cbor);
}

} // namespace ecfsim
