#pragma once
#include <stdexcept>
#include <string>

#include "tivplatform/export.h"

namespace tiv {

// Every error raised by the runtime layer derives from Error, so a host can
// catch the whole family in one place. The message always says what was wrong.
class TIV_EXPORT Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A value that cannot be converted to the wanted type; the message names both.
class TIV_EXPORT ConversionError : public Error {
  public:
    using Error::Error;
};

// An index outside an array, list or result array.
class TIV_EXPORT RangeError : public Error {
  public:
    using Error::Error;
};

// Bad input to a dataset, a filter, a file or a registry read.
class TIV_EXPORT DataError : public Error {
  public:
    using Error::Error;
};

} // namespace tiv
