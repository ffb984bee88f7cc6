#pragma once
#include <string>
#include <vector>

namespace tiv02000 {

// "key|text" lines of the main catalogue (msgPadrao) and the second one
// (msgPadrao2), Windows-1252 bytes.
const std::vector<std::string> &catalogoPadrao();
const std::vector<std::string> &catalogoPadrao2();

} // namespace tiv02000
