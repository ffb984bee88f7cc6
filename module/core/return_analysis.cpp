#include "core/return_analysis.h"

#include "core/binding.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/error_report.h"
#include "core/reply.h"
#include "core/text.h"
#include "tivplatform/errors.h"

namespace tiv02000 {

namespace {
bool refusedByPrinter = false;
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
        const int result = hexWord(copyText(upper(st), 17, 4));
        if (result == 0x050D) {
            logDebug("ERRO!!! Meio de pagamento ja definido");
            verdict = false;
        }
        const bool answered = communication != 2 && communication != 4 && communication != 5;
        refusedByPrinter = answered && result != 0;
    } catch (const std::exception &) {
        reportError({msg("ErroComunicacao"), " - erro na convers\xE3o", true}, colourScheme, show);
        verdict = false;
    }
    return verdict;
}

} // namespace tiv02000
