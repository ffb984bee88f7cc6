#pragma once
// The operator's dialogs every procedure shares.
#include <exception>
#include <string>

#include "tiv02000/variables.h"

namespace tiv02000 {

// The dialog rule of procedures that read both flags.
inline bool dialogsAllowed() {
    return boNUtilTaa || !boClieUtil;
}

// Notice through the host's dialog (ask mark "N").
void notice(const std::string &text, int kind, const std::string &colourScheme);

// The notice shown when a procedure cannot read its named parameters.
void parameterNotice(const std::exception &error, const std::string &procedure);

} // namespace tiv02000
