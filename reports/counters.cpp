// The printer's document counters: receipt number, reductions, non-fiscal
// operations, management reports and credit/debit vouchers.
#include "driver/binding.h"
#include "driver/common.h"
#include "driver/debug_log.h"
#include "driver/reply.h"
#include "driver/return_analysis.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

// Layout of the counters reply: field positions, six digits each.
constexpr size_t kCountersSize = 84;
constexpr size_t kCooAt = 1, kCrzAt = 7, kGnfAt = 19, kCdcAt = 25, kGrgAt = 37, kCcfAt = 43;
constexpr size_t kCounterWidth = 6;

// The ESC/ECF data reply: the counter is 9 characters from position 3.
constexpr size_t kEscDataSize = 1024;
constexpr size_t kEscCounterAt = 3, kEscCounterWidth = 9;

// One six-digit field of the counters reply, logged and judged. The field is
// handed back even when the judgement fails.
bool counterField(const std::string &colourScheme, size_t position, std::string &out) {
    Reply reply(kCountersSize);
    const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
    out = copyText(reply.text(), position, kCounterWidth);
    logReply("EPSON_Obter_Contadores", out);
    return AnalisaRetorno(colourScheme, rc, false, false, false);
}

} // namespace

extern "C" TIV_EXPORT std::string Nr_Cupom(const std::string & /*unused1*/,
                                           const std::string &colourScheme) {
    std::string number;
    int32_t rc;
    if (inTipoImpFis == 31) {
        Reply reply(kCountersSize);
        rc = EPSON(EPSON_Obter_Contadores)(reply.data());
        logReply("EPSON_Obter_Contadores", reply.text());
        number = copyText(reply.text(), kCooAt, kCounterWidth);
    } else {
        Reply reply(kEscDataSize);
        rc = EPSON(EPSON_ESC_ECF_Obter_Dados)("1", "1", reply.data());
        logReply("EPSON_Obter_Contadores", reply.text());
        number = copyText(reply.text(), kEscCounterAt, kEscCounterWidth);
    }
    return AnalisaRetorno(colourScheme, rc, false, false, false) ? number : "ERRO";
}

extern "C" TIV_EXPORT bool ContadorCupomFiscalMFD(const std::string &colourScheme,
                                                  std::string &counter) {
    if (inTipoImpFis == 31) return counterField(colourScheme, kCcfAt, counter);
    Reply reply(kEscDataSize);
    const int32_t rc = EPSON(EPSON_ESC_ECF_Obter_Dados)("1", "5", reply.data());
    counter = copyText(reply.text(), kEscCounterAt, kEscCounterWidth);
    logReply("EPSON_Obter_Contadores", counter);
    return AnalisaRetorno(colourScheme, rc, false, false, false);
}

extern "C" TIV_EXPORT bool NumeroReducoes(const std::string &colourScheme, std::string &counter) {
    Reply reply(kCountersSize);
    const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
    const std::string field = copyText(reply.text(), kCrzAt, kCounterWidth);
    // The number the next reduction will carry; a non-numeric field raises.
    counter = tivhost::EmptyString(field) ? "0" : tiv::intToStr(tiv::strToInt(field) + 1);
    logReply("EPSON_Obter_Contadores", counter);
    return AnalisaRetorno(colourScheme, rc, false, false, false);
}

extern "C" TIV_EXPORT bool NumeroOperacoesNaoFiscais(const std::string &colourScheme,
                                                     std::string &counter) {
    return counterField(colourScheme, kGnfAt, counter);
}

extern "C" TIV_EXPORT bool ContadorComprovantesCreditoMFD(const std::string &colourScheme,
                                                          std::string &counter) {
    return counterField(colourScheme, kCdcAt, counter);
}

extern "C" TIV_EXPORT bool ContadorRelatoriosGerenciaisMFD(const std::string &colourScheme,
                                                           std::string &counter) {
    return counterField(colourScheme, kGrgAt, counter);
}

// The printer does not report these; the host gets fixed answers.
extern "C" TIV_EXPORT bool NumeroIntervencoes(const std::string & /*colourScheme*/,
                                              std::string &counter) {
    counter = "0000000001";
    return true;
}

extern "C" TIV_EXPORT bool NumeroSubstituicoesProprietario(const std::string & /*colourScheme*/,
                                                           std::string & /*counter*/) {
    return true;
}

extern "C" TIV_EXPORT bool
DataHoraGravacaoUsuarioSWBasicoMFAdicional(const std::string & /*colourScheme*/,
                                           std::string & /*date*/, std::string & /*time*/,
                                           std::string & /*extra*/) {
    return true;
}
