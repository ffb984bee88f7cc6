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

} // namespace tiv02000
