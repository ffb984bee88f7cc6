#pragma once
// The X reading as the till closing prints it before its receipt.
#include <string>

namespace tiv02000 {

// Prints the X reading and, when the printer accepted it, records it ("LX").
bool printXReading(const std::string &serialNumber, const std::string &colourScheme);

} // namespace tiv02000
