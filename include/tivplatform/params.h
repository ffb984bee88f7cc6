#pragma once
#include <initializer_list>
#include <string>
#include <utility>

#include "tivplatform/variant.h"

namespace tiv {

// Parameter array: a variant array of [name, value] pairs.
using ParamArray = Variant;
// Argument list: variants read by position from 0.
using ArgList = Variant;
// Result array: made by the host with its size; the procedure fills elements.
using ResultArray = Variant;

TIV_EXPORT ParamArray makeParams(std::initializer_list<std::pair<std::string, Variant>> pairs);

// True when `params` is an array whose every element is a [name, value] pair.
TIV_EXPORT bool isWellFormedParams(const Variant &params);

// Looks a name up without regard to case. A malformed array raises DataError;
// a name that is absent answers nullptr.
TIV_EXPORT const Variant *findParam(const ParamArray &params, const std::string &name);

// Replaces the value of `name`, or appends the pair when it is absent.
TIV_EXPORT void setParam(ParamArray &params, const std::string &name, Variant value);

// Element `i` of an argument list; past the end raises RangeError naming the
// position and the list's size.
TIV_EXPORT const Variant &argAt(const ArgList &args, size_t i);

// Writes element `i` of a host-made result array; never grows it. An index
// past the end, or a value that is not an array, raises RangeError.
TIV_EXPORT void setResult(ResultArray &result, size_t i, Variant value);

} // namespace tiv
