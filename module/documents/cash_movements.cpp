// Cash supply and withdrawal: the printer's own non-fiscal operations, one command each.
#include <cmath>

#include "core/call_guard.h"
#include "core/carried_out.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/error_report.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"
#include "tivplatform/settings.h"

using namespace tiv02000;

namespace {

// The amount in cents as plain digits: ".00" formatting (0 taken as 0.01), the decimal
// separator removed; 12.5 gives "1250", 0.5 gives "50", 0 gives "01".
std::string centsText(double amount) {
    std::string text = tiv::formatFloat(".00", amount == 0 ? 0.01 : amount);
    const auto sep = text.find(tiv::formatSettings().decimalSeparator);
    if (sep != std::string::npos) text.erase(sep, 1);
    return text;
}

bool cashMovement(bool supply, const std::string &colourScheme, double amount) {
    ensureDataModule();
    // Not a number never reaches the printer, whose paper would show it.
    if (!std::isfinite(amount)) {
        reportError(std::string(supply ? "Suprimento" : "Sangria") +
                        ": o valor n\xE3o \xE9 um n\xFAmero v\xE1lido; nada foi enviado.",
                    colourScheme, true);
        return false;
    }
    if (supply && amount <= 0) return true;
    const std::string cents = centsText(amount);
    // The movement is one non-fiscal document: the printer's count of them tells a movement it
    // registered from one it did not, so the host's repeat never registers the cash twice.
    const OnceCommand command{std::string(supply ? "Suprimento " : "Sangria ") + cents,
                              supply ? command_name::kCashSupply : command_name::kCashWithdrawal,
                              witness::nonFiscalDocuments};
    if (sendOnce(command, {colourScheme, true},
                 [&] { return family().cashMovement(supply, cents); }))
        return true;
    tivhost::Mensagem(msg("ErroComando"), "", "N", "N", 0, "", colourScheme, 0, nullptr);
    return false;
}

} // namespace

extern "C" TIV_EXPORT bool Suprimento(const std::string &, const std::string &colourScheme,
                                      double amount) {
    const tiv02000::CallGuard guard;
    return cashMovement(true, colourScheme, amount);
}

extern "C" TIV_EXPORT bool Sangria(const std::string &, const std::string &colourScheme,
                                   double amount) {
    const tiv02000::CallGuard guard;
    return cashMovement(false, colourScheme, amount);
}
