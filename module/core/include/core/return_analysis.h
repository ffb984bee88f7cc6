#pragma once
#include <cstdint>
#include <string>

namespace tiv02000 {

// Judges a vendor-library answer by the printer's status: communication
// error, execution error (return code 1), end of paper, and a payment
// method already defined. Each error is logged, appended to stMensagemTaa
// and, when `show`, shown to the operator. True when none was found.
// The two trailing flags are accepted and ignored.
bool AnalisaRetorno(const std::string &colourScheme, int32_t returnCode, bool show,
                    bool unused1 = false, bool unused2 = false);

// True when the last analysis read a status in which the printer answered and reported the
// command refused: the command was certainly not carried out. Anything else that failed (no
// answer, a broken status, an error return with the printer reporting success) leaves the
// outcome to be read from the printer before the command is sent again.
bool lastCommandRefused();

} // namespace tiv02000
