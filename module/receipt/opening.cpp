// Opening of a fiscal receipt with the consumer's identification.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/document_progress.h"
#include "core/operator_questions.h"
#include "core/reply.h"
#include "core/return_analysis.h"
#include "core/text.h"
#include "documents/documents.h"
#include "queries/queries.h"
#include "sale_track.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

// Second character of the document state: a management report or a voucher
// is open and must be closed before a receipt can be opened.
bool nonFiscalDocumentOpen() {
    Reply state(58, '\0');
    (void)EPSON(EPSON_Obter_Estado_Cupom)(state.data());
    const std::string kind = copyText(state.text(), 2, 1);
    return kind == "2" || kind == "4" || kind == "5";
}

// An opening whose answer was lost may still have opened the receipt: an open receipt with
// nothing registered in it is the one this call asked for.
Carried emptyReceiptOpen() {
    const auto p = readDocumentProgress();
    if (!p) return Carried::Unknown;
    return p->receiptOpen() && p->items == 0 && p->payments == 0 ? Carried::Yes : Carried::No;
}

} // namespace

extern "C" TIV_EXPORT bool AbreCupom(tiv::Variant &params) {
    const tiv02000::CallGuard guard;
    if (nonFiscalDocumentOpen()) (void)closeManagementReport("", true, false);

    using tivhost::RecebeParams;
    const std::string colourScheme = RecebeParams(params, "ESQUEMACOR").toString();
    int32_t tefError = RecebeParams(params, "INTTEFERRO").toInt32();
    const std::string cpf = RecebeParams(params, "INCLUICPF").toString();
    const std::string name = RecebeParams(params, "INCLUINOME").toString();
    const std::string address = RecebeParams(params, "INCLUIENDERECO").toString();
    std::string receiptNumber = RecebeParams(params, "CUPNR").toString();
    std::string receiptCounter = RecebeParams(params, "CONTCUPOM").toString();
    for (const char *unused : {"TIPOTICKET", "IVACOMP", "IVAPROP", "TIPODOC", "NRDOC", "MESA"})
        (void)RecebeParams(params, unused).toString();
    const std::string idUtilTef = RecebeParams(params, "IDUTILTEF").toString();
    const bool utilTef = RecebeParams(params, "UTILTEF").toBoolean();
    stMensagemTaa.clear();

    const Analysis how{colourScheme, boNUtilTaa, false, true};
    const char *const entry = command_name::kOpenReceipt;
    bool opened = false, sent = false;
    for (;;) {
        // A repeat first asks the printer whether the receipt is already open.
        const Carried c = sent ? emptyReceiptOpen() : Carried::No;
        if (c == Carried::Yes) {
            noteCarriedOut(entry);
            opened = true;
        } else if (c == Carried::Unknown) {
            reportOutcomeUnknown(entry, colourScheme, boNUtilTaa);
        } else {
            sent = true;
            opened = analyse(how, family().openReceipt(cpf, name, address));
            if (!opened && !lastCommandRefused() && emptyReceiptOpen() == Carried::Yes) {
                noteCarriedOut(entry);
                opened = true;
            }
        }
        if (opened || !boNUtilTaa || !tefSale(idUtilTef, utilTef)) break;
        // Declined: the host's parameters stay as it passed them.
        if (!askPrintAgain(colourScheme)) return false;
        tefError = 1;
    }
    if (opened) {
        // A new receipt: its items are counted from here.
        SaleTrack &t = saleTrack();
        t = SaleTrack{};
        t.items = 0;
    }
    // A refused opening with dialogs on, outside a TEF sale, keeps the flag.
    if (opened || !boNUtilTaa) boClieUtil = false;

    if (opened) {
        receiptNumber = tiv02000::receiptNumber(colourScheme);
        (void)fiscalReceiptCounter(colourScheme, receiptCounter);
        // The receipt's number is its COO: what tells this sale's receipt from another.
        const std::string coo = trim(receiptNumber);
        if (!coo.empty() && coo.size() <= 9 &&
            coo.find_first_not_of("0123456789") == std::string::npos)
            saleTrack().coo = std::stoll(coo);
    }
    params = tiv::makeParams({{"INTTEFERRO", tefError},
                              {"INCLUICPF", cpf},
                              {"INCLUINOME", name},
                              {"INCLUIENDERECO", address},
                              {"CUPNR", receiptNumber},
                              {"CONTCUPOM", receiptCounter},
                              {"MENSAGEMTAA", stMensagemTaa}});
    return opened;
}
