#include "core/binding.h"

#include "tivplatform/system.h"

namespace tiv02000 {

EpsonEntryPoints &epson() {
    static EpsonEntryPoints entryPoints;
    return entryPoints;
}

namespace {

template <typename Fn>
bool bindOne(uintptr_t handle, Fn &slot, const char *name, std::string &missing) {
    void *address = tiv::getProcAddress(handle, name);
    if (address == nullptr) {
        missing = name;
        return false;
    }
    slot = reinterpret_cast<Fn>(address);
    return true;
}

bool bindClassic(uintptr_t handle, std::string &missing) {
    auto &e = epson();
#define TIV_EPSON_BIND(name, params, args)                                                         \
    if (!bindOne(handle, e.name, #name, missing)) return false;
    EPSON_CLASSIC_ENTRY_POINTS(TIV_EPSON_BIND)
    return true;
}

bool bindEscEcf(uintptr_t handle, std::string &missing) {
    auto &e = epson();
    EPSON_ESC_ECF_ENTRY_POINTS(TIV_EPSON_BIND)
#undef TIV_EPSON_BIND
    return true;
}

} // namespace

bool bindEntryPoints(uintptr_t handle, bool withEscEcf, std::string &missing) {
    if (bindClassic(handle, missing) && (!withEscEcf || bindEscEcf(handle, missing))) return true;
    unbindEntryPoints();
    return false;
}

void unbindEntryPoints() {
    epson() = EpsonEntryPoints{};
}

} // namespace tiv02000
