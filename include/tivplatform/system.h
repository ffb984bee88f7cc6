#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tivplatform/export.h"

namespace tiv {

// --- Dynamic libraries --------------------------------------------------
// Opaque handle; 0 when nothing was loaded.
using ModuleHandle = uintptr_t;
// "InterfaceEpson.dll" -> "libInterfaceEpson.so", looked for first in the
// folder of the loading module, then through the system loader's path.
// Answers 0 when not found (never raises).
TIV_EXPORT ModuleHandle loadLibrary(const std::string &windowsName);
// nullptr when the library does not export `name`.
TIV_EXPORT void *getProcAddress(ModuleHandle module, const std::string &name);
TIV_EXPORT void freeLibrary(ModuleHandle module);
// Why the last loadLibrary of this process answered 0 (the loader's own
// words, every place tried); empty after a success.
TIV_EXPORT std::string lastLoadError();
// The folder holding libtivplatform.so: the first place loadLibrary looks.
// The build puts every library and program in one bin/ folder, as a Windows
// host keeps its plug-ins beside it.
TIV_EXPORT std::string platformLibraryFolder();
// The Linux file name a Windows library name maps to.
TIV_EXPORT std::string sharedLibraryName(const std::string &windowsName);

// --- Registry ------------------------------------------------------------
// A text file of sections named by the full key path and name=value lines,
// names compared without regard to case. Path: $TIV_REGISTRY, else
// "registry.ini" in the program folder. A missing file, key or value
// answers nullopt; never an error.
TIV_EXPORT std::optional<std::string>
registryReadString(const std::string &root, const std::string &key, const std::string &valueName);
TIV_EXPORT bool registryKeyExists(const std::string &root, const std::string &key);
TIV_EXPORT std::string registryPath();

// --- Program folder and files ------------------------------------------
// Folder of the running executable, or $TIV_PROGRAM_DIR. No trailing "/".
TIV_EXPORT std::string programFolder();
// Short (8.3) names are the paths themselves here.
TIV_EXPORT std::string shortPathName(const std::string &path);
TIV_EXPORT bool fileExists(const std::string &path);
TIV_EXPORT bool directoryExists(const std::string &path);
// Creates the folder and its parents; false when it cannot.
TIV_EXPORT bool forceDirectories(const std::string &path);
// Names (not paths) of files in `folder` matching a pattern with "*" and "?".
TIV_EXPORT std::vector<std::string> findFiles(const std::string &folder,
                                              const std::string &pattern);
TIV_EXPORT bool renameFile(const std::string &from, const std::string &to);
// Appends one line (and "\n") to a text file, creating it; raises tiv::Error
// naming the file when it cannot.
TIV_EXPORT void appendLine(const std::string &path, const std::string &line);
// Writes a whole file atomically: a temporary file in the same folder,
// flushed, then renamed over the target. Raises tiv::Error on failure and
// leaves any old file intact.
TIV_EXPORT void writeFileAtomic(const std::string &path, const std::string &contents);
// The most a whole-file read takes in: data packets, scripts and logs are far
// smaller, and a bound keeps /dev/zero or a runaway file from eating memory.
inline constexpr uint64_t kMaxReadFileSize = uint64_t{256} << 20;
// Reads a regular file from byte `offset` to its end (nothing when the offset
// is past it). Anything else is refused with tiv::Error naming the path and the
// reason: a missing file, a folder, a FIFO, a device or a socket (a FIFO is
// never waited on), or more than `limit` bytes to read.
TIV_EXPORT std::string readFile(const std::string &path, uint64_t offset = 0,
                                uint64_t limit = kMaxReadFileSize);
// Reads an open descriptor (a pipe, standard input) to its end, refusing
// with tiv::Error naming `what` when it holds more than `limit` bytes.
TIV_EXPORT std::string readStream(int fd, const std::string &what,
                                  uint64_t limit = kMaxReadFileSize);

// --- Pending window messages ------------------------------------------
// The host may install a hook; by default processing does nothing.
TIV_EXPORT void setProcessMessagesHook(std::function<void()> hook);
TIV_EXPORT void processMessages();

} // namespace tiv
