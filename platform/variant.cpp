#include "tivplatform/variant.h"

#include <cctype>
#include <cmath>
#include <limits>

#include "text_case.h"
#include "tivplatform/numbers.h"
#include "tivplatform/text.h"

namespace tiv {

Variant::Variant(bool b) : kind_(Kind::Boolean), bool_(b) {}
Variant::Variant(int i) : kind_(Kind::Integer), int_(i) {}
Variant::Variant(int64_t i) : kind_(Kind::Integer), int_(i) {}
namespace {
int64_t checkedUnsigned(unsigned long long v) {
    if (v > static_cast<unsigned long long>(std::numeric_limits<int64_t>::max()))
        throw ConversionError("cannot convert " + std::to_string(v) +
                              " to Integer: out of the 64-bit range");
    return static_cast<int64_t>(v);
}
} // namespace

Variant::Variant(unsigned int i) : kind_(Kind::Integer), int_(i) {}
Variant::Variant(unsigned long i) : kind_(Kind::Integer), int_(checkedUnsigned(i)) {}
Variant::Variant(long long i) : kind_(Kind::Integer), int_(static_cast<int64_t>(i)) {}
Variant::Variant(unsigned long long i) : kind_(Kind::Integer), int_(checkedUnsigned(i)) {}
Variant::Variant(double d) : kind_(Kind::Real), real_(d) {}
Variant::Variant(const char *s) : kind_(Kind::Text), text_(s ? s : "") {}
Variant::Variant(std::string s) : kind_(Kind::Text), text_(std::move(s)) {}
Variant::Variant(std::vector<Variant> items) : kind_(Kind::Array), items_(std::move(items)) {}

Variant Variant::null() {
    Variant v;
    v.kind_ = Kind::Null;
    return v;
}

Variant Variant::dateTime(TDateTime dt) {
    Variant v;
    v.kind_ = Kind::DateTime;
    v.real_ = dt;
    return v;
}

Variant Variant::array(size_t size) {
    return Variant(std::vector<Variant>(size));
}

const char *Variant::kindName(Kind k) {
    switch (k) {
    case Kind::Empty:
        return "Empty";
    case Kind::Null:
        return "Null";
    case Kind::Boolean:
        return "Boolean";
    case Kind::Integer:
        return "Integer";
    case Kind::Real:
        return "Real";
    case Kind::Text:
        return "Text";
    case Kind::DateTime:
        return "DateTime";
    case Kind::Array:
        return "Array";
    }
    return "Unknown";
}

std::string Variant::describe() const {
    switch (kind_) {
    case Kind::Empty:
        return "empty";
    case Kind::Null:
        return "null";
    case Kind::Boolean:
        return std::string("boolean ") + (bool_ ? "True" : "False");
    case Kind::Integer:
        return "integer " + std::to_string(int_);
    case Kind::Real:
        return "real " + floatToStr(real_);
    case Kind::Text: {
        // Long texts are cut so a message stays readable.
        const size_t limit = 80;
        if (text_.size() <= limit) return "text \"" + text_ + "\"";
        return "text \"" + text_.substr(0, limit) + "...\"";
    }
    case Kind::DateTime:
        try {
            return "date-time " + dateTimeToStr(real_);
        } catch (const Error &) {
            return "date-time " + floatToStr(real_);
        }
    case Kind::Array:
        return "array of " + std::to_string(items_.size()) + " elements";
    }
    return "unknown";
}

namespace {

[[noreturn]] void cannotConvert(const Variant &v, Variant::Kind wanted) {
    throw ConversionError("cannot convert " + v.describe() + " to " + Variant::kindName(wanted));
}

// Reals to integers round half to even, as the host platform's variants do.
bool realToInteger(double d, int64_t &out) {
    if (!std::isfinite(d)) return false;
    double r = std::nearbyint(d);
    // 2^63 is exactly representable; anything at or past it does not fit.
    if (r >= 9223372036854775808.0 || r < -9223372036854775808.0) return false;
    out = static_cast<int64_t>(r);
    return true;
}

} // namespace

std::string Variant::toString() const {
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null:
        return {};
    case Kind::Boolean:
        return bool_ ? "True" : "False";
    case Kind::Integer:
        return std::to_string(int_);
    case Kind::Real:
        return floatToStr(real_);
    case Kind::Text:
        return text_;
    case Kind::DateTime:
        try {
            return dateTimeToStr(real_);
        } catch (const Error &) {
            cannotConvert(*this, Kind::Text);
        }
    case Kind::Array:
        break;
    }
    cannotConvert(*this, Kind::Text);
}

int64_t Variant::toInteger() const {
    int64_t out = 0;
    switch (kind_) {
    case Kind::Empty:
        return 0;
    case Kind::Boolean:
        return bool_ ? -1 : 0; // the host platform's True is -1
    case Kind::Integer:
        return int_;
    case Kind::Real:
    case Kind::DateTime:
        if (realToInteger(real_, out)) return out;
        break;
    case Kind::Text: {
        if (tryStrToInt(text_, out)) return out;
        double d;
        if (tryStrToFloat(text_, d) && realToInteger(d, out)) return out;
        break;
    }
    case Kind::Null:
    case Kind::Array:
        break;
    }
    cannotConvert(*this, Kind::Integer);
}

int32_t Variant::toInt32() const {
    int64_t v = toInteger();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        throw ConversionError("cannot convert " + describe() +
                              " to Integer: out of the 32-bit range");
    return static_cast<int32_t>(v);
}

bool Variant::toBoolean() const {
    switch (kind_) {
    case Kind::Empty:
        return false;
    case Kind::Boolean:
        return bool_;
    case Kind::Integer:
        return int_ != 0;
    case Kind::Real:
    case Kind::DateTime:
        return real_ != 0.0;
    case Kind::Text: {
        std::string t = trim(text_);
        if (detail::sameTextNoCase(t, "true")) return true;
        if (detail::sameTextNoCase(t, "false")) return false;
        double d;
        if (tryStrToFloat(t, d)) return d != 0.0;
        break;
    }
    case Kind::Null:
    case Kind::Array:
        break;
    }
    cannotConvert(*this, Kind::Boolean);
}

double Variant::toReal() const {
    switch (kind_) {
    case Kind::Empty:
        return 0.0;
    case Kind::Boolean:
        return bool_ ? -1.0 : 0.0;
    case Kind::Integer:
        return static_cast<double>(int_);
    case Kind::Real:
    case Kind::DateTime:
        return real_;
    case Kind::Text: {
        double d;
        if (tryStrToFloat(text_, d)) return d;
        break;
    }
    case Kind::Null:
    case Kind::Array:
        break;
    }
    cannotConvert(*this, Kind::Real);
}

TDateTime Variant::toDateTime() const {
    switch (kind_) {
    case Kind::Empty:
        return 0.0;
    case Kind::Boolean:
        return bool_ ? -1.0 : 0.0;
    case Kind::Integer:
        return static_cast<double>(int_);
    case Kind::Real:
    case Kind::DateTime:
        if (std::isfinite(real_)) return real_;
        break;
    case Kind::Text:
        try {
            return strToDateTime(text_);
        } catch (const ConversionError &) {
            break;
        }
    case Kind::Null:
    case Kind::Array:
        break;
    }
    cannotConvert(*this, Kind::DateTime);
}

size_t Variant::size() const {
    return kind_ == Kind::Array ? items_.size() : 0;
}

namespace {
[[noreturn]] void badIndex(const Variant &v, size_t i) {
    if (!v.isArray())
        throw RangeError("index " + std::to_string(i) + " used on " + v.describe() +
                         ", which is not an array");
    throw RangeError("index " + std::to_string(i) + " is out of range: the array has " +
                     std::to_string(v.size()) + " elements");
}
[[noreturn]] void notArray(const Variant &v) {
    throw RangeError("array access on " + v.describe() + ", which is not an array");
}
} // namespace

const Variant &Variant::at(size_t i) const {
    if (kind_ != Kind::Array || i >= items_.size()) badIndex(*this, i);
    return items_[i];
}

Variant &Variant::at(size_t i) {
    if (kind_ != Kind::Array || i >= items_.size()) badIndex(*this, i);
    return items_[i];
}

const std::vector<Variant> &Variant::items() const {
    if (kind_ != Kind::Array) notArray(*this);
    return items_;
}

std::vector<Variant> &Variant::items() {
    if (kind_ != Kind::Array) notArray(*this);
    return items_;
}

bool Variant::operator==(const Variant &o) const {
    if (kind_ != o.kind_) return false;
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null:
        return true;
    case Kind::Boolean:
        return bool_ == o.bool_;
    case Kind::Integer:
        return int_ == o.int_;
    case Kind::Real:
    case Kind::DateTime:
        return real_ == o.real_;
    case Kind::Text:
        return text_ == o.text_;
    case Kind::Array:
        return items_ == o.items_;
    }
    return false;
}

} // namespace tiv
