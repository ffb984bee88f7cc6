#pragma once
// A long text printed into the open report in chunks of whole lines.
#include <string>
#include <vector>

namespace tiv02000 {

// Chunks of whole lines (each line with its LF; a last line without one is
// taken whole), each chunk but the last holding at least 500 characters.
// An empty text gives no chunk.
std::vector<std::string> reportChunks(const std::string &text);

// Prints `text` into the open report, chunk by chunk; the results of the
// single prints are not used.
void printChunks(const std::string &colourScheme, const std::string &text);

} // namespace tiv02000
