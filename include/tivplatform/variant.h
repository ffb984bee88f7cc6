#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "tivplatform/export.h"

namespace tiv {

// The host platform's variant: what crosses the module boundary as a named
// parameter, a positional argument or a result-array element.
// Conversions follow the host platform's rules and raise ConversionError
// (naming the value and the wanted type) when they cannot be made.
class TIV_EXPORT Variant {
  public:
    enum class Kind { Empty, Null, Boolean, Integer, Real, Text, DateTime, Array };

    Variant() = default; // empty
    Variant(bool b);
    Variant(int i);
    Variant(int64_t i);
    // The other integer widths, so that a count or a size converts without
    // ambiguity; an unsigned value past the 64-bit signed range raises
    // ConversionError.
    Variant(unsigned int i);
    Variant(unsigned long i);
    Variant(long long i);
    Variant(unsigned long long i);
    Variant(double d);
    Variant(const char *s);
    Variant(std::string s);
    Variant(std::vector<Variant> items); // array

    static Variant null();
    static Variant dateTime(TDateTime dt);
    static Variant array(size_t size); // array of `size` empty elements

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isArray() const { return kind_ == Kind::Array; }
    // Empty or null: what the host platform calls "unassigned".
    bool isUnassigned() const { return kind_ == Kind::Empty || kind_ == Kind::Null; }

    std::string toString() const; // empty and null give ""
    int64_t toInteger() const;    // reals round half to even, texts are parsed
    int32_t toInt32() const;      // toInteger, refused when out of 32-bit range
    bool toBoolean() const;       // "True"/"False" (any case) or a number
    double toReal() const;        // texts parsed with the format settings
    TDateTime toDateTime() const; // texts parsed as date or date-time

    // Array access; every index is checked and a bad one raises RangeError.
    // size() is 0 for a value that is not an array; items() of one raises.
    size_t size() const;
    const Variant &at(size_t i) const;
    Variant &at(size_t i);
    const std::vector<Variant> &items() const;
    std::vector<Variant> &items();

    // Name of the kind, for messages ("Text", "Integer", ...).
    static const char *kindName(Kind k);
    // Text shown in error messages: the value and its kind.
    std::string describe() const;

    // Same kind and same value (the integer 1 is not the text "1").
    bool operator==(const Variant &o) const;

  private:
    Kind kind_ = Kind::Empty;
    bool bool_ = false;
    int64_t int_ = 0;
    double real_ = 0.0; // also the date-time serial
    std::string text_;
    std::vector<Variant> items_;
};

} // namespace tiv
