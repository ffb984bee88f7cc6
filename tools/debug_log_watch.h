#pragma once
// The lines the driver adds to its monthly debug log during one call: the
// file "impdebug" MMYY ".txt" in the program folder.
#include <cstdint>
#include <string>

#include "json_forms.h"

namespace tivtool {

class DebugLogWatch {
  public:
    // Notes where the current month's file ends.
    void start();
    // The lines written since start(), in UTF-8; a call that ran into a new
    // month also yields the new month's file.
    Json newLines() const;

    // The current month's file.
    static std::string currentPath();
    // Its last `count` lines, in UTF-8, read from at most its last MiB.
    static Json lastLines(size_t count);

  private:
    std::string path_;
    uintmax_t size_ = 0;
};

} // namespace tivtool
