#include "core/error_report.h"

#include "core/binding.h"
#include "core/debug_log.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"

namespace tiv02000 {

void reportError(const ErrorReport &report, const std::string &colourScheme, bool show) {
    logDebug("ERRO!!! " + report.text + report.logNote);
    stMensagemTaa += " " + report.text;
    if (!show) return;
    if (report.unlockInput && epson().EPSON_Sys_Bloquear_Entradas)
        epson().EPSON_Sys_Bloquear_Entradas(0);
    tivhost::Mensagem(report.text, "", "N", "N", 0, "", colourScheme, 0, nullptr);
}

} // namespace tiv02000
