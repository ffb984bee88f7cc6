#pragma once
// Reading a file whole and replacing it whole.
#include <string>

namespace signbema {

// The whole file; raises SignError(kSignFileError) for anything but a regular
// file of at most 256 MiB.
std::string readWhole(const std::string &path);

// Replaces the file with `contents`: a temporary file in the same folder,
// flushed, given the old file's permissions, then renamed over it, so a
// crash leaves the old file or the new one, never half of either.
void replaceWhole(const std::string &path, const std::string &contents);

} // namespace signbema
