// Reading and writing field values with the host platform's conversions.
#include <cmath>

#include "dataset_impl.h"
#include "tivplatform/datetime.h"
#include "tivplatform/numbers.h"

namespace tiv {

using detail::Cell;

namespace {

[[noreturn]] void cannot(const FieldDef &f, const char *wanted) {
    throw ConversionError("Field \"" + f.name + "\" of type " + detail::fieldTypeName(f.type) +
                          " cannot be accessed as " + wanted);
}

// Runs a text conversion of another component and names the field in its
// error.
template <typename F> auto converting(const FieldDef &f, F &&fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (const ConversionError &e) {
        throw ConversionError("Field \"" + f.name + "\": " + e.what());
    }
}

std::string boolText(bool b) {
    return b ? "True" : "False";
}

// "t", "tr", "TRUE", "f", "False", ... as on the host platform.
bool textToBool(const FieldDef &f, const std::string &s) {
    auto prefixOf = [&](const char *word) {
        const std::string w(word);
        if (s.empty() || s.size() > w.size()) return false;
        for (size_t i = 0; i < s.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(s[i])) != w[i]) return false;
        return true;
    };
    if (prefixOf("true")) return true;
    if (prefixOf("false")) return false;
    throw ConversionError("Field \"" + f.name + "\": '" + s + "' is not a valid boolean value");
}

double finite(const FieldDef &f, double v) {
    if (!std::isfinite(v)) throw ConversionError("Field \"" + f.name + "\": not a finite number");
    return v;
}

// A date-time field keeps only serials the calendar can show, so every
// stored row can be written to a packet.
double serial(const FieldDef &f, double v) {
    return converting(f, [&] {
        (void)decodeDate(finite(f, v));
        return v;
    });
}

Cell textCell(const FieldDef &f, std::string s) {
    if (s.size() > static_cast<size_t>(f.size)) // cut to the size, as the host does
        s.resize(static_cast<size_t>(f.size));
    if (s.empty()) return {};
    return s;
}

Cell fromText(const FieldDef &f, const std::string &s) {
    if (f.type != FieldType::String && s.empty()) return {};
    switch (f.type) {
    case FieldType::String:
        return textCell(f, s);
    case FieldType::Integer:
        return converting(f, [&] { return strToInt(s); });
    case FieldType::Float:
        return converting(f, [&] { return finite(f, strToFloat(s)); });
    case FieldType::Boolean:
        return textToBool(f, s);
    case FieldType::DateTime:
        return converting(f, [&] { return serial(f, strToDateTime(s)); });
    }
    return {};
}

Cell fromFloat(const FieldDef &f, double v) {
    finite(f, v);
    switch (f.type) {
    case FieldType::String:
        return textCell(f, floatToStr(v));
    case FieldType::Integer:
        return converting(f, [&] { return Variant(v).toInteger(); });
    case FieldType::Float:
        return v;
    case FieldType::DateTime:
        return serial(f, v);
    case FieldType::Boolean:
        cannot(f, "Float");
    }
    return {};
}

Cell fromInteger(const FieldDef &f, int64_t v) {
    switch (f.type) {
    case FieldType::String:
        return textCell(f, std::to_string(v));
    case FieldType::Integer:
        return v;
    case FieldType::Float:
        return static_cast<double>(v);
    case FieldType::DateTime:
        return serial(f, static_cast<double>(v));
    case FieldType::Boolean:
        cannot(f, "Integer");
    }
    return {};
}

Cell fromBoolean(const FieldDef &f, bool v) {
    if (f.type == FieldType::String) return textCell(f, v ? "T" : "F");
    if (f.type == FieldType::Boolean) return v;
    cannot(f, "Boolean");
}

Cell fromDateTime(const FieldDef &f, TDateTime v) {
    serial(f, v);
    switch (f.type) {
    case FieldType::String:
        return textCell(f, dateTimeToStr(v));
    case FieldType::Float:
    case FieldType::DateTime:
        return v;
    default:
        cannot(f, "DateTime");
    }
}

std::string toText(const FieldDef &f, const Cell &c) {
    if (detail::isNull(c)) return {};
    switch (f.type) {
    case FieldType::String:
        return std::get<std::string>(c);
    case FieldType::Integer:
        return std::to_string(std::get<int64_t>(c));
    case FieldType::Float:
        return floatToStr(std::get<double>(c));
    case FieldType::Boolean:
        return boolText(std::get<bool>(c));
    case FieldType::DateTime:
        return dateTimeToStr(std::get<double>(c));
    }
    return {};
}

} // namespace

namespace detail {

Cell cellFromVariant(const FieldDef &def, const Variant &v) {
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return {};
    case Variant::Kind::Boolean:
        return fromBoolean(def, v.toBoolean());
    case Variant::Kind::Integer:
        return fromInteger(def, v.toInteger());
    case Variant::Kind::Real:
        return fromFloat(def, v.toReal());
    case Variant::Kind::Text:
        return fromText(def, v.toString());
    case Variant::Kind::DateTime:
        return fromDateTime(def, v.toDateTime());
    case Variant::Kind::Array:
        break;
    }
    throw ConversionError("Field \"" + def.name + "\": an array cannot be stored in a field");
}

Variant variantFromCell(const FieldDef &def, const Cell &c) {
    if (isNull(c)) return Variant::null();
    switch (def.type) {
    case FieldType::String:
        return Variant(std::get<std::string>(c));
    case FieldType::Integer:
        return Variant(std::get<int64_t>(c));
    case FieldType::Float:
        return Variant(std::get<double>(c));
    case FieldType::Boolean:
        return Variant(std::get<bool>(c));
    case FieldType::DateTime:
        return Variant::dateTime(std::get<double>(c));
    }
    return Variant::null();
}

} // namespace detail

// --- TField ------------------------------------------------------------------

namespace {

const FieldDef &defOf(const TClientDataSet::Impl &d, size_t index) {
    if (index >= d.fields.size()) throw DataError(d.label() + ": field no longer exists");
    return d.fields[index];
}

} // namespace

const std::string &TField::name() const {
    return defOf(*ds_->impl_, index_).name;
}
FieldType TField::type() const {
    return defOf(*ds_->impl_, index_).type;
}
int TField::size() const {
    return defOf(*ds_->impl_, index_).size;
}

bool TField::isNull() const {
    defOf(*ds_->impl_, index_);
    return detail::isNull(ds_->impl_->readCell(index_));
}

std::string TField::asString() const {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    return toText(f, ds_->impl_->readCell(index_));
}

double TField::asFloat() const {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    const Cell &c = ds_->impl_->readCell(index_);
    if (detail::isNull(c)) return 0.0;
    switch (f.type) {
    case FieldType::String:
        return converting(f, [&] { return strToFloat(std::get<std::string>(c)); });
    case FieldType::Integer:
    case FieldType::Float:
    case FieldType::DateTime:
        return detail::cellNumber(c);
    case FieldType::Boolean:
        break;
    }
    cannot(f, "Float");
}

int64_t TField::asInteger() const {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    const Cell &c = ds_->impl_->readCell(index_);
    if (detail::isNull(c)) return 0;
    switch (f.type) {
    case FieldType::String:
        return converting(f, [&] { return strToInt(std::get<std::string>(c)); });
    case FieldType::Integer:
        return std::get<int64_t>(c);
    case FieldType::Float:
        return converting(f, [&] { return Variant(std::get<double>(c)).toInteger(); });
    case FieldType::Boolean:
    case FieldType::DateTime:
        break;
    }
    cannot(f, "Integer");
}

bool TField::asBoolean() const {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    const Cell &c = ds_->impl_->readCell(index_);
    if (detail::isNull(c)) return false;
    if (f.type == FieldType::Boolean) return std::get<bool>(c);
    if (f.type == FieldType::String) {
        // The first letter decides, as on the host platform.
        switch (std::get<std::string>(c)[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            return true;
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            return false;
        default:
            throw ConversionError("Field \"" + f.name + "\": '" + std::get<std::string>(c) +
                                  "' is not a valid boolean value");
        }
    }
    cannot(f, "Boolean");
}

TDateTime TField::asDateTime() const {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    const Cell &c = ds_->impl_->readCell(index_);
    if (detail::isNull(c)) return 0.0;
    switch (f.type) {
    case FieldType::String:
        return converting(f, [&] { return strToDateTime(std::get<std::string>(c)); });
    case FieldType::Float:
    case FieldType::DateTime:
        return std::get<double>(c);
    default:
        break;
    }
    cannot(f, "DateTime");
}

Variant TField::asVariant() const {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    return detail::variantFromCell(f, ds_->impl_->readCell(index_));
}

// A refused conversion throws before the slot is assigned: the field keeps
// its value.
void TField::setAsString(const std::string &v) {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    Cell &slot = ds_->impl_->writeCell(index_);
    slot = fromText(f, v);
}

void TField::setAsFloat(double v) {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    Cell &slot = ds_->impl_->writeCell(index_);
    slot = fromFloat(f, v);
}

void TField::setAsInteger(int64_t v) {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    Cell &slot = ds_->impl_->writeCell(index_);
    slot = fromInteger(f, v);
}

void TField::setAsBoolean(bool v) {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    Cell &slot = ds_->impl_->writeCell(index_);
    slot = fromBoolean(f, v);
}

void TField::setAsDateTime(TDateTime v) {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    Cell &slot = ds_->impl_->writeCell(index_);
    slot = fromDateTime(f, v);
}

void TField::setAsVariant(const Variant &v) {
    const FieldDef &f = defOf(*ds_->impl_, index_);
    Cell &slot = ds_->impl_->writeCell(index_);
    slot = detail::cellFromVariant(f, v);
}

void TField::clear() {
    defOf(*ds_->impl_, index_);
    ds_->impl_->writeCell(index_) = Cell{};
}

} // namespace tiv
