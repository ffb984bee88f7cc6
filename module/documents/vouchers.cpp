// Unlinked non-fiscal vouchers and card vouchers linked to a receipt payment.
#include <optional>

#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/error_report.h"
#include "documents/documents.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace tiv02000 {

bool issueUnlinkedVoucher(const std::string &colourScheme, const std::string &totalizerName,
                          const std::string &amountCents, const std::string &paymentName) {
    // Converted before the voucher opens, so that text that is no amount
    // raises before anything is printed.
    const std::string payment = tiv::intToStr(tiv::strToInt(amountCents));
    return analyse({colourScheme, boNUtilTaa},
                   family().issueUnlinkedVoucher(totalizerName, amountCents, paymentName, payment));
}

bool openCardVoucher(const std::string &colourScheme, const std::string &paymentName,
                     const std::string &amountCents) {
    const std::optional<Sent> opened = family().openCardVoucher(paymentName, amountCents);
    if (!opened) {
        reportError(msg("FormPgtoNProg") + " (" + paymentName + ")", colourScheme, true);
        return false;
    }
    return analyse({colourScheme, true}, *opened);
}

} // namespace tiv02000

extern "C" TIV_EXPORT bool Cupom_NFiscNVinc(const std::string &colourScheme,
                                            const std::string &totalizerName,
                                            const std::string &amountCents,
                                            const std::string &paymentName,
                                            const std::string & /*unused5*/) {
    const tiv02000::CallGuard guard;
    return issueUnlinkedVoucher(colourScheme, totalizerName, amountCents, paymentName);
}

extern "C" TIV_EXPORT bool Abre_Comp_NFiscalVinc(const std::string &colourScheme,
                                                 const std::string &paymentName,
                                                 const std::string &amountCents,
                                                 const std::string & /*unused4*/) {
    const tiv02000::CallGuard guard;
    return openCardVoucher(colourScheme, paymentName, amountCents);
}
