#pragma once
#include <cstdint>
#include <string>

#include "epson/entry_points.h"
#include "tivplatform/errors.h"

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

// Raised by a call into the printer while the vendor library is not bound.
class NotStarted : public tiv::Error {
  public:
    using tiv::Error::Error;
};

// A bound entry point, or an error naming it when the vendor library is not
// bound (a host calling before StartImpFiscal gets an error, not a crash).
template <typename Fn> Fn bound(Fn fn, const char *name) {
    if (fn == nullptr)
        throw NotStarted(std::string("the printer is not started (call StartImpFiscal first): "
                                     "vendor library entry point not bound: ") +
                         name);
    return fn;
}

} // namespace tiv02000

// The call of one vendor entry point by its name.
#define EPSON(name) ::tiv02000::bound(::tiv02000::epson().name, #name)
