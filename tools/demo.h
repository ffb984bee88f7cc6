#pragma once
// `tiv demo`: a working day on a fresh virtual printer, driven through the
// module by plain names as a point-of-sale host would.
#include <string>

namespace tivtool {

struct DemoOptions {
    std::string stateFolder;    // empty: a new temporary folder
    int printerType = 33;       // 31 classic, 33 ESC/ECF
    std::string modulePath;     // empty: libtiv02000.so beside tiv
    std::string transcriptPath; // empty: none written
    std::string htmlPath;       // empty: no page of the paper written
    std::string scriptPath;     // empty: the day's script is not written out
};

// The serial number of the demo's printer.
inline constexpr const char *kDemoSerial = "EP0808080800000001";

// The day's script, for a printer of the given type; the till's configuration
// file is in `configFolder`.
std::string demoScript(int printerType, const std::string &configFolder);

// Runs the day, prints the paper roll (UTF-8) and a summary on standard
// output. Returns the process exit status: 0 when every step succeeded.
int runDemo(const DemoOptions &options);

} // namespace tivtool
