#pragma once
// The operator's dialogs every procedure shares.
#include <exception>
#include <string>

#include "tiv02000/variables.h"
#include "tivplatform/errors.h"

namespace tiv02000 {

// The dialog rule of procedures that read both flags.
inline bool dialogsAllowed() {
    return boNUtilTaa || !boClieUtil;
}

// Notice through the host's dialog (ask mark "N").
void notice(const std::string &text, int kind, const std::string &colourScheme);

// An error whose what() is already the operator's text (Portuguese).
class OperatorError : public tiv::Error {
  public:
    using tiv::Error::Error;
};

// The operator's text for an error caught in `procedure`: an OperatorError's own text; for any
// other, whose text is a detail in English for integrators, the procedure and the kind of
// failure in the operator's language. Either way the error's own text goes to the debug log.
std::string operatorText(const std::exception &error, const std::string &procedure);

// The notice shown when a procedure cannot read its named parameters (the reason as
// operatorText gives it, without the procedure, which the notice names).
void parameterNotice(const std::exception &error, const std::string &procedure);

} // namespace tiv02000
