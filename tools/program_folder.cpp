#include "program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tivtool {

std::string userStateFolder() {
    std::filesystem::path base;
    if (const char *state = std::getenv("XDG_STATE_HOME"); state && *state)
        base = state;
    else if (const char *home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "state";
    else
        return "";
    return (base / "tiv").string();
}

void settleProgramFolder(const std::string &ownFolder) {
    if (const char *given = std::getenv("TIV_PROGRAM_DIR"); given && *given) return;
    if (!ownFolder.empty() && ::access(ownFolder.c_str(), W_OK) == 0) return;
    const std::string folder = userStateFolder();
    if (folder.empty()) return; // no user folder: the program's own stays
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec) setenv("TIV_PROGRAM_DIR", folder.c_str(), 1);
}

} // namespace tivtool
