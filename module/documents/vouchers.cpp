// Unlinked non-fiscal vouchers and card vouchers linked to a receipt payment.
#include <optional>

#include "core/call_guard.h"
#include "core/carried_out.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/document_progress.h"
#include "core/error_report.h"
#include "documents/documents.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

constexpr const char *kVoucher = command_name::kOpenVoucher;

// Where an unlinked voucher stands on the printer, judged by the non-fiscal documents counted
// before it was opened: only the voucher could have moved that count since.
struct VoucherStanding {
    enum Kind { Unknown, NotOpened, Open, Closed } kind = Unknown;
    VoucherStep next = VoucherStep::Open; // the step an open voucher lacks
};

VoucherStanding voucherStanding(int64_t documentsBefore) {
    const auto documents = witness::nonFiscalDocuments();
    if (!documents) return {};
    if (*documents <= documentsBefore) return {VoucherStanding::NotOpened};
    const auto doc = readDocumentProgress();
    if (!doc) return {};
    if (doc->state != '2') return {VoucherStanding::Closed};
    return {VoucherStanding::Open, doc->items == 0      ? VoucherStep::Sell
                                   : doc->payments == 0 ? VoucherStep::Pay
                                                        : VoucherStep::Close};
}

} // namespace

namespace tiv02000 {

bool issueUnlinkedVoucher(const std::string &colourScheme, const std::string &totalizerName,
                          const std::string &amountCents, const std::string &paymentName) {
    // Converted before the voucher opens, so that text that is no amount
    // raises before anything is printed.
    const std::string payment = tiv::intToStr(tiv::strToInt(amountCents));
    const Analysis how{colourScheme, boNUtilTaa};
    const std::string key = "voucher " + totalizerName + " " + amountCents + " " + paymentName;
    auto send = [&](VoucherStep from) {
        return family().issueUnlinkedVoucher(totalizerName, amountCents, paymentName, payment,
                                             from);
    };

    // The host's repeat of a voucher the last call left unsettled goes on from where the
    // printer stands: never a second voucher.
    VoucherStep from = VoucherStep::Open;
    std::optional<int64_t> before;
    if (const auto earlier = takeUnsettled(key)) {
        const VoucherStanding where = voucherStanding(earlier->before);
        if (where.kind == VoucherStanding::Unknown) {
            keepUnsettled(*earlier);
            reportOutcomeUnknown(kVoucher, colourScheme, how.show);
            return false;
        }
        if (where.kind == VoucherStanding::Closed) {
            noteCarriedOut(kVoucher);
            return true;
        }
        if (where.kind == VoucherStanding::Open) {
            from = where.next;
            before = earlier->before;
        }
    }
    if (!before) before = readWitness(witness::nonFiscalDocuments);
    if (!before) {
        reportWitnessUnread(kVoucher, how);
        return false;
    }
    const VoucherRun run = send(from);
    const bool ok = analyse(how, run.judged);
    if (ok && run.clean) return true;

    // A step failed: the printer tells how far the voucher went. One sold and paid is closed at
    // once; one that lacks its entry or payment waits for the host's repeat, as the printer may
    // have refused that step for good.
    VoucherStanding where = voucherStanding(*before);
    if (where.kind == VoucherStanding::Open && where.next == VoucherStep::Close) {
        (void)analyse(how, send(where.next).judged);
        where = voucherStanding(*before);
    }
    switch (where.kind) {
    case VoucherStanding::Closed:
        if (!ok) noteCarriedOut(kVoucher);
        return true;
    case VoucherStanding::NotOpened:
        return false;
    case VoucherStanding::Open:
        keepUnsettled({key, *before, ""});
        reportError("O comprovante n\xE3o fiscal ficou aberto na impressora; ele ser\xE1 "
                    "conclu\xED"
                    "do quando a opera\xE7\xE3o for repetida.",
                    colourScheme, how.show);
        return false;
    case VoucherStanding::Unknown:
        break;
    }
    keepUnsettled({key, *before, ""});
    reportOutcomeUnknown(kVoucher, colourScheme, how.show);
    return false;
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
