#pragma once
// `tiv image show`: a binary image of the virtual printer's fiscal or detail memory, checked
// and printed record by record.
#include <iosfwd>
#include <string>

namespace tivtool {

// Reads the image at `path`, checks it whole (checksum, layout) and prints its header and each
// record as one line of JSON (UTF-8). A damaged or foreign file throws std::runtime_error, and
// nothing of it is printed.
void showMemoryImage(const std::string &path, std::ostream &out);

} // namespace tivtool
