#pragma once
// The fiscal menu's signed files and the program's identification report.
#include <string>

namespace tiv02000 {

// Where the vendor library writes the daily files: "PATH" of its registry key,
// otherwise the program's drive + "/EPSON/InterfaceEpson/DataFiles".
std::string dailyFilesFolder();

// Signs `path` in place with the program's EAD record through the signing
// library (loaded on first use under its own handle, and kept). False, with
// a debug line saying why, when the file was left unsigned.
bool signWithEad(const std::string &path);

} // namespace tiv02000
