// Reading one named parameter from the host's parameter array.
#include "tivhost/host.h"

namespace tivhost {

Variant RecebeParams(const tiv::ParamArray &params, const std::string &name) {
    if (params.isUnassigned())
        throw tiv::DataError("parameter \"" + name + "\" asked of a missing parameter array (" +
                             params.describe() + ")");
    try {
        const Variant *value = tiv::findParam(params, name);
        // Absent names read as unassigned, which converts to "", 0 or false.
        return value ? *value : Variant();
    } catch (const tiv::DataError &e) {
        throw tiv::DataError("parameter \"" + name + "\" asked of a malformed array: " + e.what());
    }
}

} // namespace tivhost
