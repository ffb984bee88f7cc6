// Opening of a fiscal receipt with the consumer's identification.
#include "documents/documents.h"
#include "driver/binding.h"
#include "driver/command.h"
#include "driver/command_family.h"
#include "driver/operator_questions.h"
#include "driver/reply.h"
#include "driver/text.h"
#include "reports/reports.h"
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

} // namespace

extern "C" TIV_EXPORT bool AbreCupom(tiv::Variant &params) {
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
    bool opened = false;
    for (;;) {
        opened =
            analyse(how, {family().openReceipt(copyText(cpf, 1, 20), copyText(name, 1, 30),
                                               copyText(address, 1, 40)),
                          "EPSON_Fiscal_Abrir_Cupom :" + cpf + " - " + name + " - " + address});
        if (opened || !boNUtilTaa || !tefSale(idUtilTef, utilTef)) break;
        // Declined: the host's parameters stay as it passed them.
        if (!askPrintAgain(colourScheme)) return false;
        tefError = 1;
    }
    // A refused opening with dialogs on, outside a TEF sale, keeps the flag.
    if (opened || !boNUtilTaa) boClieUtil = false;

    if (opened) {
        receiptNumber = tiv02000::receiptNumber(colourScheme);
        (void)fiscalReceiptCounter(colourScheme, receiptCounter);
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
