#include "dataset_packet.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>
#include <sstream>
#include <unordered_map>

#include <pugixml.hpp>

#include "text_case.h"

#include "tivplatform/cp1252.h"
#include "tivplatform/datetime.h"

namespace tiv::detail {
namespace {

// Row states of the host platform's change log (bit flags).
constexpr long kRowOriginal = 0x01;
constexpr long kRowDeleted = 0x02;
constexpr long kRowInserted = 0x04;
constexpr long kRowModified = 0x08;
constexpr long kRowUnused = 0x20;

// Largest text width a packet may declare; anything above is a broken file,
// not a field.
constexpr long kMaxWidth = 1 << 20;

enum class XmlKind { Text, Date, Time, DateTime, Other };

struct PacketField {
    std::string attr; // attribute name in ROW elements
    XmlKind kind = XmlKind::Other;
};

// Five bytes have no character in Windows-1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D).
// cp1252ToUtf8 shows them as U+FFFD, which would come back from a packet as
// "?"; in packets they travel as the control characters of the same number,
// as Windows converts them, so a text survives a save and a load byte for byte.
bool undefinedInCp1252(unsigned char c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

std::string packetText(std::string_view cp1252) {
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= cp1252.size(); ++i) {
        if (i < cp1252.size() && !undefinedInCp1252(static_cast<unsigned char>(cp1252[i])))
            continue;
        out += cp1252ToUtf8(cp1252.substr(start, i - start));
        if (i < cp1252.size()) {
            out += '\xC2'; // U+0080 to U+00BF: 0xC2 and the byte itself
            out += cp1252[i];
        }
        start = i + 1;
    }
    return out;
}

std::string textFromPacket(std::string_view utf8) {
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i + 1 < utf8.size(); ++i) {
        if (static_cast<unsigned char>(utf8[i]) != 0xC2 ||
            !undefinedInCp1252(static_cast<unsigned char>(utf8[i + 1])))
            continue;
        out += utf8ToCp1252(utf8.substr(start, i - start));
        out += utf8[i + 1];
        start = i + 2;
        ++i;
    }
    return out + utf8ToCp1252(utf8.substr(start));
}

// The encoding a declaration names, lower case; "" when none.
std::string declaredEncoding(std::string_view xml) {
    if (xml.substr(0, 5) != "<?xml") return {};
    const size_t end = xml.find("?>");
    const std::string_view decl = xml.substr(0, end);
    const size_t at = decl.find("encoding");
    if (at == std::string_view::npos) return {};
    const size_t q = decl.find_first_of("\"'", at);
    if (q == std::string_view::npos) return {};
    const size_t q2 = decl.find(decl[q], q + 1);
    if (q2 == std::string_view::npos) return {};
    std::string enc(decl.substr(q + 1, q2 - q - 1));
    for (char &c : enc)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return enc;
}

// A number as a packet writes it: blanks around it and a leading "+" are allowed.
std::string_view numberText(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    return s;
}

bool parseInt(std::string_view s, int64_t &out) {
    s = numberText(s);
    const auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && res.ec == std::errc() && res.ptr == s.data() + s.size();
}

bool parseReal(std::string_view s, double &out) {
    s = numberText(s);
    const auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && res.ec == std::errc() && res.ptr == s.data() + s.size() &&
           std::isfinite(out);
}

// Reads `count` digits at `pos`.
bool digits(std::string_view s, size_t &pos, size_t count, int &out) {
    if (pos + count > s.size()) return false;
    out = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool skip(std::string_view s, size_t &pos, char c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// "20261210", "2026-12-10"
bool parseDatePart(std::string_view s, size_t &pos, TDateTime &out) {
    int y = 0, m = 0, d = 0;
    if (!digits(s, pos, 4, y)) return false;
    const bool dashed = skip(s, pos, '-');
    if (!digits(s, pos, 2, m) || (dashed && !skip(s, pos, '-')) || !digits(s, pos, 2, d))
        return false;
    return tryEncodeDate(y, m, d, out);
}

// "14:30:00000", "14:30:00.000", "14:30:00", "14:30"
bool parseTimePart(std::string_view s, size_t &pos, TDateTime &out) {
    int h = 0, n = 0, sec = 0, ms = 0;
    if (!digits(s, pos, 2, h) || !skip(s, pos, ':') || !digits(s, pos, 2, n)) return false;
    if (skip(s, pos, ':')) {
        if (!digits(s, pos, 2, sec)) return false;
        skip(s, pos, '.');
        if (pos < s.size() && !digits(s, pos, 3, ms)) return false;
    }
    if (h > 23 || n > 59 || sec > 59) return false;
    out = encodeTime(h, n, sec, ms);
    return true;
}

bool parseDateTimeValue(std::string_view s, XmlKind kind, TDateTime &out) {
    size_t pos = 0;
    TDateTime date = 0, time = 0;
    if (kind == XmlKind::Time) {
        if (!parseTimePart(s, pos, time)) return false;
    } else {
        if (!parseDatePart(s, pos, date)) return false;
        if (pos < s.size() && (s[pos] == 'T' || s[pos] == ' ')) {
            ++pos;
            if (!parseTimePart(s, pos, time)) return false;
        }
    }
    if (pos != s.size()) return false;
    out = date < 0 ? date - time : date + time;
    return true;
}

std::string formatDateTimeValue(TDateTime dt) {
    const DateParts d = decodeDate(dt);
    const TimeParts t = decodeTime(dt);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d:%02d:%02d%03d", d.year, d.month, d.day,
                  t.hour, t.minute, t.second, t.msec);
    return buf;
}

std::string formatReal(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// A name the XML attribute grammar accepts as it is.
bool plainAttrName(const std::string &name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

// The attribute each field's value takes in ROW elements: its name, when the
// attribute grammar takes it and it is neither the row-state attribute nor
// another field's attribute; else "F" and its position (a number further on
// when that is taken), the name then travelling in "fieldname".
std::vector<std::string> rowAttributes(const std::vector<FieldDef> &fields) {
    std::vector<std::string> attrs(fields.size());
    std::set<std::string> taken{"RowState"};
    for (size_t i = 0; i < fields.size(); ++i)
        if (plainAttrName(fields[i].name) && taken.insert(fields[i].name).second)
            attrs[i] = fields[i].name;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!attrs[i].empty()) continue;
        for (size_t n = i + 1; attrs[i].empty(); ++n)
            if (taken.insert("F" + std::to_string(n)).second) attrs[i] = "F" + std::to_string(n);
    }
    return attrs;
}

[[noreturn]] void bad(const std::string &source, const std::string &why) {
    throw DataError("Invalid data packet (" + source + "): " + why);
}

FieldDef readField(const pugi::xml_node &node, PacketField &pf, bool cp1252Text,
                   const std::string &source) {
    const pugi::xml_attribute attrName = node.attribute("attrname");
    if (!attrName || !*attrName.value()) bad(source, "a FIELD has no attrname");
    pf.attr = attrName.value();
    FieldDef def;
    const pugi::xml_attribute fieldName = node.attribute("fieldname");
    const std::string shown = fieldName && *fieldName.value() ? fieldName.value() : pf.attr;
    def.name = cp1252Text ? shown : textFromPacket(shown);
    const std::string type = node.attribute("fieldtype").value();
    const std::string where = "field \"" + pf.attr + "\"";
    if (type == "string" || type == "string.uni") {
        def.type = FieldType::String;
        int64_t width = 0;
        if (!parseInt(node.attribute("WIDTH").value(), width) || width <= 0 || width > kMaxWidth)
            bad(source, where + " has a bad WIDTH \"" +
                            std::string(node.attribute("WIDTH").value()) + "\"");
        // A wide string's WIDTH counts bytes, two per character.
        def.size = static_cast<int>(type == "string.uni" ? (width + 1) / 2 : width);
        pf.kind = XmlKind::Text;
    } else if (type == "i1" || type == "i2" || type == "i4" || type == "i8" || type == "ui1" ||
               type == "ui2" || type == "ui4") {
        def.type = FieldType::Integer;
    } else if (type == "r8" || type == "r4" || type == "fixed" || type == "fixedFMT" ||
               type == "bcd") {
        def.type = FieldType::Float;
    } else if (type == "boolean") {
        def.type = FieldType::Boolean;
    } else if (type == "dateTime" || type == "SQLdateTime") {
        def.type = FieldType::DateTime;
        pf.kind = XmlKind::DateTime;
    } else if (type == "date") {
        def.type = FieldType::DateTime;
        pf.kind = XmlKind::Date;
    } else if (type == "time") {
        def.type = FieldType::DateTime;
        pf.kind = XmlKind::Time;
    } else {
        bad(source, where + " has an unsupported fieldtype \"" + type + "\"");
    }
    return def;
}

Cell readValue(const FieldDef &def, const PacketField &pf, const char *raw, bool cp1252Text,
               size_t rowNumber, const std::string &source) {
    const std::string_view text(raw);
    auto fail = [&]() -> Cell {
        bad(source, "row " + std::to_string(rowNumber) + ", field \"" + pf.attr +
                        "\": bad value \"" + std::string(text) + "\" for a " +
                        fieldTypeName(def.type) + " field");
    };
    switch (def.type) {
    case FieldType::String: {
        std::string s = cp1252Text ? std::string(text) : textFromPacket(text);
        if (s.size() > static_cast<size_t>(def.size)) s.resize(static_cast<size_t>(def.size));
        if (s.empty()) return {};
        return s;
    }
    case FieldType::Integer: {
        int64_t v = 0;
        if (!parseInt(text, v)) return fail();
        return v;
    }
    case FieldType::Float: {
        double v = 0;
        if (!parseReal(text, v)) return fail();
        return v;
    }
    case FieldType::Boolean:
        if (detail::sameTextNoCase(text, "TRUE") || text == "1") return true;
        if (detail::sameTextNoCase(text, "FALSE") || text == "0") return false;
        return fail();
    case FieldType::DateTime: {
        TDateTime v = 0;
        if (!parseDateTimeValue(text, pf.kind, v)) return fail();
        return v;
    }
    }
    return fail();
}

} // namespace

Table readPacket(std::string_view xml, const std::string &source) {
    // Skip a UTF-8 byte-order mark; refuse the binary packet format plainly.
    if (xml.substr(0, 3) == "\xEF\xBB\xBF") xml.remove_prefix(3);
    size_t first = 0;
    while (first < xml.size() && std::isspace(static_cast<unsigned char>(xml[first])))
        ++first;
    const bool utf16 = xml.size() >= 2 && ((xml[0] == '\xFF' && xml[1] == '\xFE') ||
                                           (xml[0] == '\xFE' && xml[1] == '\xFF'));
    if (!utf16 && (first >= xml.size() || xml[first] != '<')) bad(source, "not an XML data packet");
    xml.remove_prefix(utf16 ? 0 : first);

    // Texts in a packet declared as Latin-1 or Windows-1252 are our bytes
    // already; everything else is UTF-8 (pugixml turns UTF-16 into UTF-8).
    const std::string enc = declaredEncoding(xml);
    const bool cp1252Text = enc == "windows-1252" || enc == "iso-8859-1" || enc == "latin1" ||
                            enc == "cp1252" || enc == "iso8859-1";

    pugi::xml_document doc;
    // No attribute whitespace folding: tabs and line breaks in texts survive.
    const unsigned options = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol;
    const pugi::xml_parse_result res = doc.load_buffer(
        xml.data(), xml.size(), options, utf16 ? pugi::encoding_auto : pugi::encoding_utf8);
    if (!res)
        bad(source, std::string("malformed XML: ") + res.description() + " at offset " +
                        std::to_string(res.offset));
    const pugi::xml_node packet = doc.child("DATAPACKET");
    if (!packet) bad(source, "no DATAPACKET element");
    const pugi::xml_node fieldsNode = packet.child("METADATA").child("FIELDS");
    if (!fieldsNode) bad(source, "no METADATA/FIELDS element");

    Table table;
    std::vector<PacketField> pfs;
    std::unordered_map<std::string, size_t> byAttr;
    try {
        for (const pugi::xml_node f : fieldsNode.children("FIELD")) {
            PacketField pf;
            table.fields.push_back(readField(f, pf, cp1252Text, source));
            const std::string up = nameKey(table.fields.back().name);
            for (size_t i = 0; i + 1 < table.fields.size(); ++i)
                if (nameKey(table.fields[i].name) == up)
                    bad(source, "field \"" + table.fields.back().name + "\" appears twice");
            byAttr.emplace(pf.attr, pfs.size());
            pfs.push_back(std::move(pf));
        }
        if (table.fields.empty()) bad(source, "no FIELD in METADATA/FIELDS");

        const size_t nf = table.fields.size();
        const Row *original = nullptr; // the row a following modified row changes
        size_t rowNumber = 0;
        for (const pugi::xml_node r : packet.child("ROWDATA").children("ROW")) {
            ++rowNumber;
            long state = 0;
            if (const pugi::xml_attribute rs = r.attribute("RowState")) {
                int64_t v = 0;
                if (!parseInt(rs.value(), v) || v < 0 || v > 0xFFFF)
                    bad(source, "row " + std::to_string(rowNumber) + " has a bad RowState \"" +
                                    rs.value() + "\"");
                state = static_cast<long>(v);
            }
            const bool superseded =
                (state & kRowOriginal) && !(state & (kRowInserted | kRowModified));
            const bool gone = (state & (kRowDeleted | kRowUnused)) != 0;
            auto row = std::make_unique<Row>();
            // A modified row may list only what changed: start from the
            // original it follows.
            if ((state & kRowModified) && original)
                row->cells = original->cells;
            else
                row->cells.resize(nf);
            for (const pugi::xml_attribute a : r.attributes()) {
                const auto it = byAttr.find(a.name());
                if (it == byAttr.end()) continue; // RowState and attributes of other tools
                row->cells[it->second] = readValue(table.fields[it->second], pfs[it->second],
                                                   a.value(), cp1252Text, rowNumber, source);
            }
            if (superseded && !gone) {
                table.rows.push_back(std::move(row));
                original = table.rows.back().get();
                continue;
            }
            if ((state & kRowModified) && original && !table.rows.empty() &&
                table.rows.back().get() == original)
                table.rows.pop_back(); // the change replaces its original
            original = nullptr;
            if (!gone) table.rows.push_back(std::move(row));
        }
    } catch (const DataError &) {
        throw;
    } catch (const Error &e) { // texts that are not UTF-8
        bad(source, e.what());
    }
    return table;
}

std::string writePacket(const std::vector<FieldDef> &fields, const std::vector<RowPtr> &rows) {
    pugi::xml_document doc;
    pugi::xml_node packet = doc.append_child("DATAPACKET");
    packet.append_attribute("Version") = "2.0";
    pugi::xml_node meta = packet.append_child("METADATA");
    pugi::xml_node fieldsNode = meta.append_child("FIELDS");
    const std::vector<std::string> attrs = rowAttributes(fields);
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef &f = fields[i];
        pugi::xml_node node = fieldsNode.append_child("FIELD");
        // A field whose name is not its attribute's travels in "fieldname".
        if (attrs[i] != f.name) node.append_attribute("fieldname") = packetText(f.name).c_str();
        node.append_attribute("attrname") = attrs[i].c_str();
        switch (f.type) {
        case FieldType::String:
            node.append_attribute("fieldtype") = "string";
            node.append_attribute("WIDTH") = f.size;
            break;
        case FieldType::Integer: {
            bool wide = false;
            for (const RowPtr &r : rows)
                if (const auto *v = std::get_if<int64_t>(&r->cells[i]))
                    wide = wide || *v < std::numeric_limits<int32_t>::min() ||
                           *v > std::numeric_limits<int32_t>::max();
            node.append_attribute("fieldtype") = wide ? "i8" : "i4";
            break;
        }
        case FieldType::Float:
            node.append_attribute("fieldtype") = "r8";
            break;
        case FieldType::Boolean:
            node.append_attribute("fieldtype") = "boolean";
            break;
        case FieldType::DateTime:
            node.append_attribute("fieldtype") = "dateTime";
            break;
        }
    }
    meta.append_child("PARAMS");
    pugi::xml_node rowData = packet.append_child("ROWDATA");
    for (const RowPtr &r : rows) {
        pugi::xml_node row = rowData.append_child("ROW");
        for (size_t i = 0; i < fields.size(); ++i) {
            const Cell &c = r->cells[i];
            if (isNull(c)) continue; // nulls are absent attributes
            pugi::xml_attribute a = row.append_attribute(attrs[i].c_str());
            switch (fields[i].type) {
            case FieldType::String:
                a = packetText(cellText(c)).c_str();
                break;
            case FieldType::Integer:
                a = std::to_string(std::get<int64_t>(c)).c_str();
                break;
            case FieldType::Float:
                a = formatReal(std::get<double>(c)).c_str();
                break;
            case FieldType::Boolean:
                a = std::get<bool>(c) ? "TRUE" : "FALSE";
                break;
            case FieldType::DateTime:
                a = formatDateTimeValue(std::get<double>(c)).c_str();
                break;
            }
        }
    }
    std::ostringstream out;
    out << "<?xml version=\"1.0\" standalone=\"yes\"?>";
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

} // namespace tiv::detail
