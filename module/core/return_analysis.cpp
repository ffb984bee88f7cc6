#include "core/return_analysis.h"

#include "core/binding.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/error_report.h"
#include "core/reply.h"
#include "core/text.h"
#include "epson/result_codes.h"
#include "tivplatform/errors.h"

namespace tiv02000 {

namespace {
bool refusedByPrinter = false;

std::string refusalLogLine(const std::string &code, unsigned value) {
    const std::string_view meaning = epson::resultMeaning(static_cast<uint16_t>(value));
    return "Impressora recusou o comando: " + code + " - " +
           (meaning.empty() ? std::string("c\xF3"
                                          "digo desconhecido.")
                            : std::string(meaning));
}

} // namespace

bool lastCommandRefused() {
    return refusedByPrinter;
}

bool AnalisaRetorno(const std::string &colourScheme, int32_t returnCode, bool show, bool, bool) {
    bool verdict = true;
    auto report = [&](const char *key) {
        reportError({msg(key), "", true}, colourScheme, show);
        verdict = false;
    };
    refusedByPrinter = false;
    try {
        if (!epson().EPSON_Obter_Estado_Impressora)
            throw tiv::ConversionError("printer status not available: library not bound");
        Reply status(20);
        epson().EPSON_Obter_Estado_Impressora(status.data());
        const std::string st = status.text();

        const int communication = hexWord(copyText(st, 5, 4));
        if (communication == 2 || communication == 4 || communication == 5)
            report("ErroComunicacao");
        if (returnCode == 1) report("ErroExecucao");
        if (copyText(st, 9, 4) == "0002") report("FimPapel");
        const std::string resultText = upper(copyText(st, 17, 4));
        const int result = hexWord(resultText);
        if (result == epson::result::PaymentTaken) {
            logDebug("ERRO!!! Meio de pagamento ja definido");
            verdict = false;
        }
        const bool answered = communication != 2 && communication != 4 && communication != 5;
        refusedByPrinter = answered && result != 0;
        // The operator's texts above do not tell one refusal from another; the log names it.
        if (refusedByPrinter && result != epson::result::PaymentTaken)
            logDebug(refusalLogLine(resultText, result));
    } catch (const std::exception &) {
        reportError({msg("ErroComunicacao"), " - erro na convers\xE3o", true}, colourScheme, show);
        verdict = false;
    }
    return verdict;
}

} // namespace tiv02000
