#pragma once
// `tiv config`: the till's configuration file written and read without a host
// program: the printers a till may use, each with the grand total last seen.
#include <iosfwd>
#include <string>

namespace tivtool {

struct ConfigRowOptions {
    std::string branch, till, serial;
    std::string gt;      // plain decimal text; empty: the "not recorded yet" mark
    bool checkGt = true; // the GT of this row is checked
};

// The file's default path: the program folder's configuration file.
std::string defaultConfigPath();

// Adds the row, or replaces the row of the same branch, till and serial
// number; the other rows are kept. A new file is made when there is none. The
// file is replaced whole.
void writeConfigRow(const std::string &path, const ConfigRowOptions &row);

// Every row in plain text, one a line: branch, till, serial number, whether
// the GT is checked, and the GT ("not recorded yet" for the mark).
void showConfig(const std::string &path, std::ostream &out);

} // namespace tivtool
