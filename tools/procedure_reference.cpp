#include "procedure_reference.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <stdexcept>

#include "procedure_table.h"
#include "reference_data.h"

namespace tivtool {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

Json loadReference() {
    std::map<std::string, Json, std::less<>> byName;
    for (std::string_view part : referenceParts()) {
        Json entries = Json::parse(part);
        for (Json &entry : entries) {
            const std::string name = entry.at("name").get<std::string>();
            if (!byName.emplace(name, std::move(entry)).second)
                throw std::logic_error("the reference holds " + name + " twice");
        }
    }
    // The header's order, so the reference reads as the header does.
    Json ordered = Json::array();
    for (const ProcedureEntry &p : procedureTable())
        if (auto it = byName.find(p.name); it != byName.end()) ordered.push_back(it->second);
    return ordered;
}

// What a value of each reference type looks like in a script.
const char *expectedForm(const std::string &type) {
    if (type == "text") return "a text (JSON string)";
    if (type == "integer") return "an integer (JSON number without decimals)";
    if (type == "real") return "a number (JSON number, a dot for decimals)";
    if (type == "boolean") return "a boolean (true or false)";
    if (type == "date-time") return "a date-time ({\"datetime\": \"YYYY-MM-DD hh:mm:ss\"})";
    return "any value";
}

bool hasType(const Json &v, const std::string &type) {
    if (type == "text") return v.is_string();
    if (type == "integer")
        return v.is_number_integer() && v.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
               (v.is_number_unsigned()
                    ? v.get<uint64_t>() <= uint64_t(std::numeric_limits<int32_t>::max())
                    : v.get<int64_t>() <= std::numeric_limits<int32_t>::max());
    if (type == "real") return v.is_number();
    if (type == "boolean") return v.is_boolean();
    if (type == "date-time") return v.is_number() || isDateTimeForm(v);
    return true;
}

// A parameter array's value by name, ignoring case as the module does; null
// when absent. Both script forms: an object, or [["NAME", value], ...].
const Json *paramValue(const Json &array, const std::string &key) {
    const std::string wanted = upper(key);
    if (array.is_object()) {
        for (const auto &[name, value] : array.items())
            if (upper(name) == wanted) return &value;
    } else if (array.is_array()) {
        for (const Json &pair : array)
            if (pair.is_array() && pair.size() == 2 && pair[0].is_string() &&
                upper(pair[0].get<std::string>()) == wanted)
                return &pair[1];
    }
    return nullptr;
}

void checkKeys(const Json &form, const Json &given) {
    if (!given.is_object() && !given.is_array()) return;
    for (const Json &k : form.at("keys")) {
        const std::string key = k.at("key").get<std::string>();
        const std::string type = k.at("type").get<std::string>();
        const Json *value = paramValue(given, key);
        const bool absent = !value || value->is_null();
        if (absent) {
            if (k.at("required").get<bool>())
                throw ShapeError("key \"" + key + "\" is required: " + expectedForm(type) + ", " +
                                 k.at("meaning").get<std::string>());
            continue;
        }
        if (!hasType(*value, type)) {
            try {
                wrongShape(expectedForm(type), *value);
            } catch (const ShapeError &e) {
                throw ShapeError("key \"" + key + "\": " + e.what());
            }
        }
    }
}

void checkPositions(const Json &form, const Json &given) {
    if (!given.is_array()) return;
    const size_t size = form.value("size", size_t{0});
    if (given.size() < size)
        throw ShapeError("expected a list of at least " + std::to_string(size) + " elements, got " +
                         std::to_string(given.size()));
    for (const Json &p : form.value("positions", Json::array())) {
        const size_t at = p.at("at").get<size_t>();
        if (at >= given.size()) continue;
        const Json &value = given[at];
        const std::string type = p.at("type").get<std::string>();
        if (value.is_null() && p.value("optional", false)) continue;
        if (!hasType(value, type)) {
            try {
                wrongShape(expectedForm(type), value);
            } catch (const ShapeError &e) {
                throw ShapeError("position " + std::to_string(at) + " (" +
                                 p.at("meaning").get<std::string>() + "): " + e.what());
            }
        }
    }
}

void checkResultSize(const Json &form, const Json &given) {
    const size_t size = form.value("size", size_t{0});
    if (!given.is_object() || !given.contains("result") || !given["result"].is_number_unsigned())
        return;
    if (given["result"].get<size_t>() < size)
        throw ShapeError("expected a result array of at least " + std::to_string(size) +
                         " elements ({\"result\": " + std::to_string(size) + "}), got " +
                         given.dump());
}

void checkFields(const Json &form, const Json &given) {
    if (!given.is_object() || !given.contains("fields") || !given["fields"].is_array()) return;
    for (const Json &f : form.at("fields")) {
        if (!f.value("required", false)) continue;
        const std::string name = upper(f.at("name").get<std::string>());
        const bool present =
            std::any_of(given["fields"].begin(), given["fields"].end(), [&](const Json &g) {
                return g.is_object() && g.contains("name") && g["name"].is_string() &&
                       upper(g["name"].get<std::string>()) == name;
            });
        if (!present)
            throw ShapeError("the dataset lacks the field \"" + f.at("name").get<std::string>() +
                             "\" (" + f.at("type").get<std::string>() + ": " +
                             f.at("meaning").get<std::string>() + ")");
    }
}

} // namespace

const Json &procedureReference() {
    static const Json reference = loadReference();
    return reference;
}

const Json *referenceEntry(std::string_view procedure) {
    for (const Json &entry : procedureReference())
        if (entry.at("name").get_ref<const std::string &>() == procedure) return &entry;
    return nullptr;
}

void checkReferenceForms(std::string_view procedure, const Json &args) {
    const Json *entry = referenceEntry(procedure);
    const ProcedureEntry *declared = findProcedure(procedure);
    if (!entry || !declared || !args.is_array()) return;
    const std::vector<ArgInfo> infos = parseDeclaredParams(declared->declaredParams);
    const Json &params = entry->at("params");
    for (size_t i = 0; i < infos.size() && i < args.size(); ++i) {
        if (!params.contains(infos[i].name)) continue;
        const Json &form = params[infos[i].name];
        try {
            if (form.contains("keys")) checkKeys(form, args[i]);
            // The header's own check gave a result array the form {"result": size}.
            if (args[i].is_object() && args[i].contains("result"))
                checkResultSize(form, args[i]);
            else if (form.contains("positions") || form.contains("size"))
                checkPositions(form, args[i]);
            if (form.contains("fields")) checkFields(form, args[i]);
        } catch (const ShapeError &e) {
            throw ShapeError("argument " + std::to_string(i + 1) + " (" + infos[i].name +
                                 "): " + e.what(),
                             i + 1);
        }
    }
}

} // namespace tivtool
