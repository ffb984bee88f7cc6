#pragma once
// The host's tax codes and the printer's names for them in each command
// family. An unknown code gives an empty name; the printer then judges the
// item.
#include <string>

namespace tiv02000 {

std::string classicTaxName(const std::string &hostCode);
std::string escEcfTaxName(const std::string &hostCode);

} // namespace tiv02000
