#pragma once
// The questions put to the operator when the printer did not answer.
#include <string>

#include "core/data_module.h"
#include "tivhost/host.h"

namespace tiv02000 {

// Yes/no question "Imp_N_Resp"; true means the operator wants another try.
inline bool askPrintAgain(const std::string &colourScheme) {
    return tivhost::Mensagem(msg("Imp_N_Resp"), "", "N", "S", 3, "", colourScheme, 0, nullptr);
}

// A sale paid with TEF: "IDUTILTEF" is "S" or "T" and "UTILTEF" is true.
inline bool tefSale(const std::string &idUtilTef, bool utilTef) {
    return (idUtilTef == "S" || idUtilTef == "T") && utilTef;
}

} // namespace tiv02000
