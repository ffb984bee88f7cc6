// The printer's document counters: receipt number, reductions, non-fiscal
// operations, management reports and credit/debit vouchers.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/counters_reply.h"
#include "core/error_report.h"
#include "core/reply.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

using namespace tiv02000::counters;

// One six-digit field of the counters reply, logged and judged. The field is
// handed back even when the judgement fails.
bool counterField(const std::string &colourScheme, size_t position, std::string &out) {
    Reply reply(kReplySize);
    const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
    out = copyText(reply.text(), position, kWidth);
    return analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_Contadores", out)});
}

} // namespace

namespace tiv02000 {

std::string receiptNumber(const std::string &colourScheme) {
    std::string number;
    if (!analyse({colourScheme, false}, family().readReceiptNumber(number))) return "ERRO";
    // The number is stored and printed as the document's own: a reply that is not the
    // counter's digits is no number at all.
    const auto width = static_cast<size_t>(family().receiptNumberWidth());
    if (digitsOfWidth(number, width)) return number;
    reportError({"O n\xFAmero do cupom informado pela impressora fiscal n\xE3o \xE9 um n\xFAmero "
                 "de " +
                     std::to_string(width) + " d\xEDgitos; o valor n\xE3o foi usado.",
                 " - resposta: \"" + number + "\""},
                colourScheme, false);
    return "ERRO";
}

bool fiscalReceiptCounter(const std::string &colourScheme, std::string &counter) {
    return analyse({colourScheme, false}, family().readFiscalReceiptCounter(counter));
}

bool nonFiscalOperationCounter(const std::string &colourScheme, std::string &counter) {
    return counterField(colourScheme, kGnfAt, counter);
}

bool creditVoucherCounter(const std::string &colourScheme, std::string &counter) {
    return counterField(colourScheme, kCdcAt, counter);
}

bool managementReportCounter(const std::string &colourScheme, std::string &counter) {
    return counterField(colourScheme, kGrgAt, counter);
}

std::string interventionCounter() {
    return "0000000001";
}

bool nextReductionNumber(const std::string &colourScheme, std::string &counter) {
    Reply reply(kReplySize);
    const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
    const std::string field = copyText(reply.text(), kCrzAt, kWidth);
    // The number the next reduction will carry; a non-numeric field raises.
    counter = tivhost::EmptyString(field) ? "0" : tiv::intToStr(tiv::strToInt(field) + 1);
    return analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_Contadores", counter)});
}

} // namespace tiv02000

extern "C" TIV_EXPORT std::string Nr_Cupom(const std::string & /*unused1*/,
                                           const std::string &colourScheme) {
    const tiv02000::CallGuard guard;
    return receiptNumber(colourScheme);
}

extern "C" TIV_EXPORT bool ContadorCupomFiscalMFD(const std::string &colourScheme,
                                                  std::string &counter) {
    const tiv02000::CallGuard guard;
    return fiscalReceiptCounter(colourScheme, counter);
}

extern "C" TIV_EXPORT bool NumeroReducoes(const std::string &colourScheme, std::string &counter) {
    const tiv02000::CallGuard guard;
    return nextReductionNumber(colourScheme, counter);
}

extern "C" TIV_EXPORT bool NumeroOperacoesNaoFiscais(const std::string &colourScheme,
                                                     std::string &counter) {
    const tiv02000::CallGuard guard;
    return nonFiscalOperationCounter(colourScheme, counter);
}

extern "C" TIV_EXPORT bool ContadorComprovantesCreditoMFD(const std::string &colourScheme,
                                                          std::string &counter) {
    const tiv02000::CallGuard guard;
    return creditVoucherCounter(colourScheme, counter);
}

extern "C" TIV_EXPORT bool ContadorRelatoriosGerenciaisMFD(const std::string &colourScheme,
                                                           std::string &counter) {
    const tiv02000::CallGuard guard;
    return managementReportCounter(colourScheme, counter);
}

// The printer does not report these; the host gets fixed answers.
extern "C" TIV_EXPORT bool NumeroIntervencoes(const std::string & /*colourScheme*/,
                                              std::string &counter) {
    const tiv02000::CallGuard guard;
    counter = interventionCounter();
    return true;
}

extern "C" TIV_EXPORT bool NumeroSubstituicoesProprietario(const std::string & /*colourScheme*/,
                                                           std::string & /*counter*/) {
    const tiv02000::CallGuard guard;
    return true;
}

extern "C" TIV_EXPORT bool
DataHoraGravacaoUsuarioSWBasicoMFAdicional(const std::string & /*colourScheme*/,
                                           std::string & /*date*/, std::string & /*time*/,
                                           std::string & /*extra*/) {
    const tiv02000::CallGuard guard;
    return true;
}
