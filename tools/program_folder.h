#pragma once
// Where the driver keeps its debug log, its registry file and "Pravell.cds"
// when the host does not say ($TIV_PROGRAM_DIR): the program's own folder
// when it may write there, the user's state folder when it may not (an
// installed tiv, or an interpreter that loaded the C interface).
#include <string>

namespace tivtool {

// $XDG_STATE_HOME/tiv, or ~/.local/state/tiv; empty when neither is known.
std::string userStateFolder();

// Sets $TIV_PROGRAM_DIR to the user's state folder (made when missing) unless
// it is given, or `ownFolder` is given and may be written.
void settleProgramFolder(const std::string &ownFolder = "");

} // namespace tivtool
