#pragma once
// The vendor library's entry points as the tests call the virtual printer
// directly, declared from the one list the driver and the printer expand.
#include <cstdint>

#include "epson/entry_points.h"

#define TIV_TEST_DECLARE(name, params, args) extern "C" int32_t name params;
EPSON_CLASSIC_ENTRY_POINTS(TIV_TEST_DECLARE)
EPSON_ESC_ECF_ENTRY_POINTS(TIV_TEST_DECLARE)
#undef TIV_TEST_DECLARE
