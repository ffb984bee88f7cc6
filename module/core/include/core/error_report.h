#pragma once
// The one way the driver reports an error to the operator and the host.
#include <string>

namespace tiv02000 {

struct ErrorReport {
    std::string text{};       // what stMensagemTaa and the notice say
    std::string logNote{};    // appended to the debug line only
    bool unlockInput = false; // the printer's keyboard unlocked before the notice
};

// "ERRO!!! " + text (+ note) in the debug log, the text appended after one
// blank to stMensagemTaa and, when `show`, a notice (kind 0) in the
// colour scheme.
void reportError(const ErrorReport &report, const std::string &colourScheme, bool show);
inline void reportError(const std::string &text, const std::string &colourScheme, bool show) {
    reportError(ErrorReport{text}, colourScheme, show);
}

} // namespace tiv02000
