#include "core/command_family.h"

namespace tiv02000 {

namespace {
const CommandFamily *chosen = nullptr;
}

const CommandFamily &family() {
    return chosen != nullptr ? *chosen : escEcfCommands();
}

bool chooseCommandFamily(int32_t printerType) {
    if (printerType == 31)
        chosen = &classicCommands();
    else if (printerType == 33)
        chosen = &escEcfCommands();
    else
        return false;
    return true;
}

} // namespace tiv02000
