#include "json_forms.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

#include "tivplatform/cp1252.h"
#include "tivplatform/errors.h"
#include "tivplatform/params.h"

namespace tivtool {

Json parseJsonText(const std::string &text) {
    const auto guard = [](int depth, Json::parse_event_t event, Json &) {
        if (depth >= kMaxJsonDepth && (event == Json::parse_event_t::object_start ||
                                       event == Json::parse_event_t::array_start))
            throw JsonTextError("arrays and objects nested deeper than " +
                                std::to_string(kMaxJsonDepth) + " levels");
        return true;
    };
    try {
        return Json::parse(text, guard);
    } catch (const Json::parse_error &e) {
        throw JsonTextError(std::string("not JSON: ") + e.what());
    }
}

namespace {

std::string shortDump(const Json &j) {
    std::string s = j.dump();
    if (s.size() > 60) s = s.substr(0, 57) + "...";
    return s;
}

// Reads exactly `width` digits at `pos`.
bool readNumber(const std::string &s, size_t pos, size_t width, int &out) {
    if (pos + width > s.size()) return false;
    for (size_t i = pos; i < pos + width; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    auto r = std::from_chars(s.data() + pos, s.data() + pos + width, out);
    return r.ec == std::errc();
}

struct FieldTypeName {
    const char *name;
    tiv::FieldType type;
};
constexpr FieldTypeName fieldTypeNames[] = {
    {"string", tiv::FieldType::String},     {"integer", tiv::FieldType::Integer},
    {"float", tiv::FieldType::Float},       {"boolean", tiv::FieldType::Boolean},
    {"datetime", tiv::FieldType::DateTime},
};

tiv::FieldType fieldTypeFromJson(const Json &j) {
    if (j.is_string())
        for (const auto &t : fieldTypeNames)
            if (j.get<std::string>() == t.name) return t.type;
    wrongShape("a field type (string, integer, float, boolean or datetime)", j);
}

const char *fieldTypeName(tiv::FieldType type) {
    for (const auto &t : fieldTypeNames)
        if (t.type == type) return t.name;
    return "string";
}

void setFieldFromJson(tiv::TField field, const Json &value) {
    if (value.is_null()) {
        field.clear();
        return;
    }
    const std::string where = "field " + field.name() + ": ";
    switch (field.type()) {
    case tiv::FieldType::String:
        if (!value.is_string()) wrongShape(where + "a text", value);
        field.setAsString(textFromJson(value));
        return;
    case tiv::FieldType::Integer:
        if (!value.is_number_integer()) wrongShape(where + "an integer", value);
        field.setAsInteger(value.get<int64_t>());
        return;
    case tiv::FieldType::Float:
        if (!value.is_number()) wrongShape(where + "a number", value);
        field.setAsFloat(value.get<double>());
        return;
    case tiv::FieldType::Boolean:
        if (!value.is_boolean()) wrongShape(where + "a boolean", value);
        field.setAsBoolean(value.get<bool>());
        return;
    case tiv::FieldType::DateTime:
        if (!isDateTimeForm(value)) wrongShape(where + "{\"datetime\": \"...\"}", value);
        field.setAsDateTime(dateTimeFromJson(value));
        return;
    }
}

Json fieldToJson(tiv::TField field) {
    if (field.isNull()) return nullptr;
    switch (field.type()) {
    case tiv::FieldType::String:
        return textToJson(field.asString());
    case tiv::FieldType::Integer:
        return field.asInteger();
    case tiv::FieldType::Float:
        return field.asFloat();
    case tiv::FieldType::Boolean:
        return field.asBoolean();
    case tiv::FieldType::DateTime:
        return dateTimeToJson(field.asDateTime());
    }
    return nullptr;
}

} // namespace

void wrongShape(const std::string &expected, const Json &given) {
    throw ShapeError("expected " + expected + ", got " + shortDump(given));
}

std::string textFromJson(const Json &j) {
    if (!j.is_string()) wrongShape("a text (JSON string)", j);
    return tiv::utf8ToCp1252(j.get_ref<const std::string &>());
}

Json textToJson(const std::string &cp1252) {
    return tiv::cp1252ToUtf8(cp1252);
}

std::wstring wideFromJson(const Json &j) {
    if (!j.is_string()) wrongShape("a text (JSON string)", j);
    const std::string &s = j.get_ref<const std::string &>();
    std::wstring out;
    for (size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        size_t len = lead < 0x80           ? 1
                     : (lead >> 5) == 0x6  ? 2
                     : (lead >> 4) == 0xE  ? 3
                     : (lead >> 3) == 0x1E ? 4
                                           : 0;
        if (len == 0 || i + len > s.size()) throw ShapeError("malformed UTF-8 in a text");
        uint32_t cp = len == 1 ? lead : lead & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c >> 6) != 0x2) throw ShapeError("malformed UTF-8 in a text");
            cp = (cp << 6) | (c & 0x3F);
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += len;
    }
    return out;
}

bool isDateTimeForm(const Json &j) {
    return j.is_object() && j.size() == 1 && j.contains("datetime");
}

tiv::TDateTime parseDateTimeText(const std::string &text) {
    const std::string expected = "a date-time \"YYYY-MM-DD[ hh:mm[:ss]]\"";
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    bool ok = readNumber(text, 0, 4, y) && text.size() >= 10 && text[4] == '-' &&
              readNumber(text, 5, 2, mo) && text[7] == '-' && readNumber(text, 8, 2, d);
    if (ok && text.size() > 10)
        ok = text[10] == ' ' && readNumber(text, 11, 2, h) && text.size() >= 16 &&
             text[13] == ':' && readNumber(text, 14, 2, mi) &&
             (text.size() == 16 ||
              (text.size() == 19 && text[16] == ':' && readNumber(text, 17, 2, sec)));
    tiv::TDateTime date = 0;
    if (!ok || !tiv::tryEncodeDate(y, mo, d, date) || h > 23 || mi > 59 || sec > 59)
        wrongShape(expected, Json(text));
    return date + tiv::encodeTime(h, mi, sec);
}

std::string formatDateTimeText(tiv::TDateTime dt) {
    // Whole seconds: a serial a hair below the next second still shows it.
    const double rounded = std::round(dt * 86400.0) / 86400.0;
    const tiv::DateParts d = tiv::decodeDate(rounded);
    const tiv::TimeParts t = tiv::decodeTime(rounded);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, t.hour,
                  t.minute, t.second);
    return buf;
}

tiv::TDateTime dateTimeFromJson(const Json &j) {
    if (!isDateTimeForm(j) || !j["datetime"].is_string())
        wrongShape("{\"datetime\": \"YYYY-MM-DD hh:mm:ss\"}", j);
    return parseDateTimeText(j["datetime"].get<std::string>());
}

Json dateTimeToJson(tiv::TDateTime dt) {
    return Json{{"datetime", formatDateTimeText(dt)}};
}

bool isDatasetForm(const Json &j) {
    return j.is_object() && j.contains("fields") && j.contains("rows");
}

std::unique_ptr<tiv::TClientDataSet> datasetFromJson(const Json &j) {
    const std::string expected = "a dataset {\"fields\": [...], \"rows\": [...]}";
    if (!isDatasetForm(j) || j.size() != 2 || !j["fields"].is_array() || !j["rows"].is_array())
        wrongShape(expected, j);
    auto ds = std::make_unique<tiv::TClientDataSet>();
    std::set<std::string> names;
    for (const Json &f : j["fields"]) {
        if (!f.is_object() || !f.contains("name") || !f["name"].is_string())
            wrongShape("a field {\"name\", \"type\", \"size\"}", f);
        const std::string name = textFromJson(f["name"]);
        if (name.empty() || !names.insert(name).second)
            throw ShapeError("field names must be distinct and not empty: \"" +
                             f["name"].get<std::string>() + "\"");
        tiv::FieldType type =
            f.contains("type") ? fieldTypeFromJson(f["type"]) : tiv::FieldType::String;
        // A text field with no size given takes the widest the driver uses.
        int size = type == tiv::FieldType::String ? 255 : 0;
        if (f.contains("size")) {
            if (!f["size"].is_number_integer() || f["size"].get<int64_t>() < 0 ||
                f["size"].get<int64_t>() > 100000)
                wrongShape("a field size from 0 to 100000", f["size"]);
            size = f["size"].get<int>();
        }
        for (const auto &[key, value] : f.items())
            if (key != "name" && key != "type" && key != "size")
                throw ShapeError("unknown member \"" + key + "\" in a field");
        ds->addFieldDef(name, type, size);
    }
    try {
        ds->createDataSet();
        for (const Json &row : j["rows"]) {
            ds->append();
            if (row.is_array()) {
                if (row.size() != ds->fieldDefs().size())
                    throw ShapeError("a row of " + std::to_string(row.size()) + " values for " +
                                     std::to_string(ds->fieldDefs().size()) + " fields");
                for (size_t i = 0; i < row.size(); ++i)
                    setFieldFromJson(ds->fieldByName(ds->fieldDefs()[i].name), row[i]);
            } else if (row.is_object()) {
                for (const auto &[key, value] : row.items()) {
                    const std::string name = tiv::utf8ToCp1252(key);
                    if (!ds->hasField(name))
                        throw ShapeError("a row names no field \"" + key + "\"");
                    setFieldFromJson(ds->fieldByName(name), value);
                }
            } else {
                wrongShape("a row (array of values or object by field name)", row);
            }
            ds->post();
        }
        ds->first();
    } catch (const tiv::Error &e) {
        throw ShapeError(e.what());
    }
    return ds;
}

Json datasetToJson(tiv::TClientDataSet &ds) {
    Json fields = Json::array();
    for (const tiv::FieldDef &f : ds.fieldDefs()) {
        Json field{{"name", textToJson(f.name)}, {"type", fieldTypeName(f.type)}};
        if (f.type == tiv::FieldType::String) field["size"] = f.size;
        fields.push_back(std::move(field));
    }
    Json rows = Json::array();
    if (ds.active()) {
        for (ds.first(); !ds.eof(); ds.next()) {
            Json row = Json::array();
            for (const tiv::FieldDef &f : ds.fieldDefs())
                row.push_back(fieldToJson(ds.fieldByName(f.name)));
            rows.push_back(std::move(row));
        }
    }
    Json out{{"fields", std::move(fields)}, {"rows", std::move(rows)}};
    if (ds.filtered()) out["filter"] = textToJson(ds.filter());
    return out;
}

std::unique_ptr<tiv::TStringList> stringListFromJson(const Json &j) {
    if (!j.is_array()) wrongShape("a string list (array of texts)", j);
    auto list = std::make_unique<tiv::TStringList>();
    for (const Json &line : j) {
        if (!line.is_string()) wrongShape("a string list (array of texts)", j);
        list->add(textFromJson(line));
    }
    return list;
}

Json stringListToJson(const tiv::TStringList &list) {
    Json out = Json::array();
    for (const std::string &line : list.lines())
        out.push_back(textToJson(line));
    return out;
}

tiv::Variant variantFromJson(const Json &j) {
    switch (j.type()) {
    case Json::value_t::null:
        return tiv::Variant();
    case Json::value_t::boolean:
        return tiv::Variant(j.get<bool>());
    case Json::value_t::number_integer:
        return tiv::Variant(j.get<int64_t>());
    case Json::value_t::number_unsigned:
        if (j.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
            wrongShape("an integer within 64 bits", j);
        return tiv::Variant(static_cast<int64_t>(j.get<uint64_t>()));
    case Json::value_t::number_float:
        return tiv::Variant(j.get<double>());
    case Json::value_t::string:
        return tiv::Variant(textFromJson(j));
    case Json::value_t::array: {
        std::vector<tiv::Variant> items;
        items.reserve(j.size());
        for (const Json &item : j)
            items.push_back(variantFromJson(item));
        return tiv::Variant(std::move(items));
    }
    case Json::value_t::object: {
        if (isDateTimeForm(j)) return tiv::Variant::dateTime(dateTimeFromJson(j));
        if (isDatasetForm(j)) return tiv::Variant(datasetFromJson(j)->dataPacket());
        std::vector<tiv::Variant> pairs;
        for (const auto &[name, value] : j.items())
            pairs.push_back(tiv::Variant(std::vector<tiv::Variant>{
                tiv::Variant(tiv::utf8ToCp1252(name)), variantFromJson(value)}));
        return tiv::Variant(std::move(pairs));
    }
    default:
        wrongShape("a value", j);
    }
}

Json variantToJson(const tiv::Variant &v) {
    using K = tiv::Variant::Kind;
    switch (v.kind()) {
    case K::Empty:
    case K::Null:
        return nullptr;
    case K::Boolean:
        return v.toBoolean();
    case K::Integer:
        return v.toInteger();
    case K::Real:
        return v.toReal();
    case K::Text:
        return textToJson(v.toString());
    case K::DateTime:
        return dateTimeToJson(v.toDateTime());
    case K::Array: {
        Json out = Json::array();
        for (const tiv::Variant &item : v.items())
            out.push_back(variantToJson(item));
        return out;
    }
    }
    return nullptr;
}

Json paramsToJson(const tiv::Variant &v) {
    if (!tiv::isWellFormedParams(v)) return variantToJson(v);
    Json out = Json::object();
    for (const tiv::Variant &pair : v.items()) {
        const std::string name = tiv::cp1252ToUtf8(pair.at(0).toString());
        if (pair.at(0).kind() != tiv::Variant::Kind::Text || out.contains(name))
            return variantToJson(v);
        out[name] = variantToJson(pair.at(1));
    }
    return out;
}

} // namespace tivtool
