#pragma once
// The JSON form of every value that crosses the module boundary. Scripts and
// transcripts are UTF-8; the driver sees Windows-1252, so every text is
// converted at this edge and nowhere else.
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "tivplatform/dataset.h"
#include "tivplatform/datetime.h"
#include "tivplatform/stringlist.h"
#include "tivplatform/variant.h"

namespace tivtool {

// Objects keep the order they were written in: a parameter array is ordered.
using Json = nlohmann::ordered_json;

// A script value that does not have the form the argument needs. The message
// says what was expected and what was given.
class ShapeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    // The argument it concerns, counted from 1; 0 when it is no one argument.
    ShapeError(const std::string &what, size_t argument)
        : std::runtime_error(what), argument_(argument) {}
    size_t argument() const { return argument_; }

  private:
    size_t argument_ = 0;
};

// JSON text from outside (a script, a request, a body) that cannot be taken:
// not JSON, or nested too deep.
class JsonTextError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The argument forms nest a handful of levels; text nested deeper than this is
// refused before it is built, as taking it apart again would exhaust the stack.
constexpr int kMaxJsonDepth = 64;

// Parses JSON text from outside; throws JsonTextError with the reason.
Json parseJsonText(const std::string &text);

// "expected X, got Y" with Y shortened for the message.
[[noreturn]] void wrongShape(const std::string &expected, const Json &given);

// Texts: JSON strings in UTF-8, Windows-1252 for the driver.
std::string textFromJson(const Json &j);
Json textToJson(const std::string &cp1252);
// Wide texts: JSON strings decoded to code points.
std::wstring wideFromJson(const Json &j);

// Date-times: {"datetime": "YYYY-MM-DD hh:mm:ss"}; the time part, or its
// seconds, may be left out.
bool isDateTimeForm(const Json &j);
tiv::TDateTime dateTimeFromJson(const Json &j);
Json dateTimeToJson(tiv::TDateTime dt);
tiv::TDateTime parseDateTimeText(const std::string &text);
std::string formatDateTimeText(tiv::TDateTime dt);

// Datasets and data packets: {"fields": [{"name", "type", "size"}], "rows":
// [[values in field order] or {"FIELD": value}]}. Types: string, integer,
// float, boolean, datetime.
bool isDatasetForm(const Json &j);
std::unique_ptr<tiv::TClientDataSet> datasetFromJson(const Json &j);
// Moves the cursor; shows only the rows the dataset's filter lets through.
Json datasetToJson(tiv::TClientDataSet &ds);

// String lists: arrays of strings.
std::unique_ptr<tiv::TStringList> stringListFromJson(const Json &j);
Json stringListToJson(const tiv::TStringList &list);

// Variants. null is unassigned; numbers, booleans and strings are themselves;
// arrays are variant arrays; {"datetime"} is a date-time; {"fields", "rows"}
// is the text of the data packet; any other object is a parameter array of
// [name, value] pairs in the order written.
tiv::Variant variantFromJson(const Json &j);
Json variantToJson(const tiv::Variant &v);
// A well-formed parameter array with distinct names as an object, anything
// else as a plain variant.
Json paramsToJson(const tiv::Variant &v);

// The largest result array a script may ask for.
inline constexpr size_t maxResultSize = 100000;

} // namespace tivtool
