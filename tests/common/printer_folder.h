#pragma once
// The virtual printer of a test: a folder of the test's own under /tmp, made fresh and removed
// with everything in it when the test ends, and the printer of this process started in it.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "../../include/ecfsim/ecfsim.h"

class PrinterFolder {
  public:
    // "/tmp/<prefix>-XXXXXX", made now; throws when it cannot be made.
    explicit PrinterFolder(const std::string &prefix) : path(make(prefix)) {}
    ~PrinterFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    PrinterFolder(const PrinterFolder &) = delete;
    PrinterFolder &operator=(const PrinterFolder &) = delete;

    const std::string path;

  private:
    static std::string make(const std::string &prefix) {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
        return pattern;
    }
};

// Opens this process's virtual printer in `folder` and starts it afresh from `config` (nullptr:
// its defaults), with no fault planted and an empty journal. Empty when it started; else the
// step that failed and the printer's reason.
inline std::string startVirtualPrinter(const std::string &folder, const char *config) {
    if (ECFSIM_OpenFolder(folder.c_str()) != 0)
        return std::string("ECFSIM_OpenFolder: ") + ECFSIM_LastError();
    if (ECFSIM_Reset(config) != 0) return std::string("ECFSIM_Reset: ") + ECFSIM_LastError();
    ECFSIM_ClearFaults();
    ECFSIM_ClearJournal();
    return std::string();
}
