#pragma once
// The port and the printer's clock, as starting and the date check use them.
#include <string>

#include "tivplatform/variant.h"

namespace tiv02000 {

// Opens the port, the fiscal day when none is open, and closes whatever
// document was left open.
bool openPort(const tiv::Variant &params);
// The printer's clock text; judged with dialogs under dialogsAllowed().
bool readClock(const std::string &colourScheme, std::string &clock);

} // namespace tiv02000
