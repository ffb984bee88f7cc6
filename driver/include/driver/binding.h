#pragma once
#include <cstdint>
#include <string>

#include "epson/entry_points.h"

namespace tiv02000 {

// The vendor library's entry points, bound by name. The members keep the
// vendor names, but live inside a struct so that no dynamic symbol of the
// driver carries the name of a vendor-library export.
struct EpsonEntryPoints {
#define TIV_EPSON_MEMBER(name, params, args) int32_t(*name) params = nullptr;
    EPSON_CLASSIC_ENTRY_POINTS(TIV_EPSON_MEMBER)
    EPSON_ESC_ECF_ENTRY_POINTS(TIV_EPSON_MEMBER)
#undef TIV_EPSON_MEMBER
};

// The bound entry points; every call into the printer goes through here.
EpsonEntryPoints &epson();

// Looks up the classic names (and the ESC/ECF ones when `withEscEcf`) in
// binding order. All or nothing: at the first missing name every variable
// is emptied again and the name is returned in `missing`.
bool bindEntryPoints(uintptr_t handle, bool withEscEcf, std::string &missing);
void unbindEntryPoints();

// Number of entry points of each family, from the same list.
int classicEntryPointCount();
int escEcfEntryPointCount();

} // namespace tiv02000
