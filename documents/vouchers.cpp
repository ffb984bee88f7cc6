// Unlinked non-fiscal vouchers and card vouchers linked to a receipt payment.
#include <optional>

#include "driver/binding.h"
#include "driver/common.h"
#include "driver/data_module.h"
#include "driver/debug_log.h"
#include "driver/reply.h"
#include "driver/return_analysis.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

constexpr size_t kPaymentRecord = 44;

// The printer's two-character index of a payment method: the record whose
// name (characters 3 to 17) equals the method's first 15 characters,
// upper-cased and trimmed. The search ends with the table.
std::optional<std::string> paymentIndex(const std::string &table, const std::string &name) {
    const std::string wanted = upper(trim(copyText(name, 1, 15)));
    if (wanted.empty()) return std::nullopt;
    for (size_t pos = 1; pos <= table.size(); pos += kPaymentRecord) {
        const std::string record = copyText(table, pos, kPaymentRecord);
        if (upper(trim(copyText(record, 3, 15))) == wanted) return copyText(record, 1, 2);
    }
    return std::nullopt;
}

} // namespace

extern "C" TIV_EXPORT bool Cupom_NFiscNVinc(const std::string &colourScheme,
                                            const std::string &totalizerName,
                                            const std::string &amountCents,
                                            const std::string &paymentName,
                                            const std::string & /*unused5*/) {
    // Converted before the voucher opens, so that text that is no amount
    // raises before anything is printed.
    const std::string payment = tiv::intToStr(tiv::strToInt(amountCents));
    if (inTipoImpFis == 31) {
        (void)EPSON(EPSON_NaoFiscal_Abrir_Comprovante)("", "", "", "", 1);
        (void)EPSON(EPSON_NaoFiscal_Vender_Item)(totalizerName.c_str(), amountCents.c_str(), 2);
        const int32_t rc =
            EPSON(EPSON_NaoFiscal_Pagamento)(paymentName.c_str(), payment.c_str(), 2, "", "");
        const int32_t closeRc = EPSON(EPSON_NaoFiscal_Fechar_Comprovante)(1);
        stImpDebug = "EPSON_NaoFiscal_Fechar_Comprovante: " + std::to_string(closeRc);
        return AnalisaRetorno(colourScheme, rc, boNUtilTaa, false, false);
    }
    int32_t rc = EPSON(EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX)("", "", "");
    logDebug("EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX: " + std::to_string(rc));
    rc = EPSON(EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX)(totalizerName.c_str(), amountCents.c_str());
    logDebug("EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX: " + std::to_string(rc));
    (void)EPSON(EPSON_NaoFiscal_Pagamento)(paymentName.c_str(), payment.c_str(), 2, "", "");
    rc = EPSON(EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX)("1", "");
    stImpDebug = "EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX: " + std::to_string(rc);
    logDebug(stImpDebug);
    return AnalisaRetorno(colourScheme, rc, boNUtilTaa, false, false);
}

extern "C" TIV_EXPORT bool Abre_Comp_NFiscalVinc(const std::string &colourScheme,
                                                 const std::string &paymentName,
                                                 const std::string &amountCents,
                                                 const std::string & /*unused4*/) {
    int32_t rc;
    if (inTipoImpFis == 31) {
        const std::string name = copyText(paymentName, 1, 15);
        rc = EPSON(EPSON_NaoFiscal_Abrir_CCD)(name.c_str(), amountCents.c_str(), 2, "1");
        logDebug("EPSON_NaoFiscal_Abrir_CCD : " + name + " -  - ");
    } else {
        Reply table(881);
        (void)EPSON(EPSON_Obter_Tabela_Pagamentos)(table.data());
        const auto index = paymentIndex(table.text(), paymentName);
        if (!index) {
            // Never open a voucher under an empty or another method's index.
            const std::string text = msg("FormPgtoNProg") + " (" + paymentName + ")";
            logDebug("ERRO!!! " + text);
            stMensagemTaa += " " + text;
            notice(text, 0, colourScheme);
            return false;
        }
        rc = EPSON(EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX)(std::to_string(inIndiceReceb).c_str(),
                                                        index->c_str(), "1", "1", "", "", "");
        logDebug("EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX: " + *index);
    }
    return AnalisaRetorno(colourScheme, rc, true, false, false);
}
