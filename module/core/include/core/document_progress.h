#pragma once
// What the printer says of the open document and of the last receipt it closed. After a
// command whose answer was lost or judged a failure, the driver reads this before it sends
// anything again: a command the printer carried out is never sent twice.
#include <cstdint>
#include <optional>
#include <string>

namespace tiv02000 {

struct DocumentProgress {
    char state = '0';           // '0' none, '1' receipt taking items, '3' receipt in payment,
                                // '2' voucher, '4' card voucher, '5' management report
    int64_t coo = 0;            // of the open document
    int64_t lastReceiptCoo = 0; // of the last fiscal receipt closed
    int items = 0;              // registered in the open receipt
    bool itemDiscount = false, itemSurcharge = false; // on its last item
    bool subtotalAdjusted = false;
    int payments = 0;
    int64_t paidCents = 0;
    bool footer = false;

    bool receiptOpen() const { return state == '1' || state == '3'; }
};

// What a procedure remembers of the printer's documents from one call to the next is good
// for one session: StartImpFiscal starts a new one (another printer may be behind it).
uint64_t printerSession();
void startPrinterSession();

// What a call got done, kept for the host's repeat of the same call (a `Progress` holds the
// printer `session` and the call's `key`): taken away, it is returned when it is this session's
// and this call's, else a fresh one for them.
template <class Progress>
Progress resumeProgress(std::optional<Progress> &kept, const std::string &key) {
    std::optional<Progress> earlier;
    earlier.swap(kept);
    if (earlier && earlier->session == printerSession() && earlier->key == key) return *earlier;
    Progress fresh;
    fresh.session = printerSession();
    fresh.key = key;
    return fresh;
}

// Reads the printer's answer; none when it does not answer or answers something that is
// not the documented reply (the outcome is then unknown).
std::optional<DocumentProgress> readDocumentProgress();

// Parses the reply text (exposed for the tests and the fuzz targets).
std::optional<DocumentProgress> parseDocumentProgress(const std::string &reply);

// The debug line of a command found carried out although its answer said otherwise.
void noteCarriedOut(const std::string &command);

// A command that is not sent again because the printer could not tell whether it carried it
// out: reported as every error is (debug log, stMensagemTaa, a notice when `show`).
void reportOutcomeUnknown(const std::string &command, const std::string &colourScheme, bool show);

} // namespace tiv02000
