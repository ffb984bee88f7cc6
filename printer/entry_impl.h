#pragma once
#include <cstdint>

#include "epson/entry_points.h"

// The printer's implementation of every entry point, declared from the shared list so that a
// definition whose parameters drift from the list does not compile.
namespace ecfsim::impl {
#define ECFSIM_DECLARE(name, params, args) int32_t name params;
EPSON_ENTRY_POINTS(ECFSIM_DECLARE)
#undef ECFSIM_DECLARE
} // namespace ecfsim::impl
