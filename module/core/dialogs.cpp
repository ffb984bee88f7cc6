#include "core/dialogs.h"

#include "core/binding.h"
#include "core/debug_log.h"
#include "tivhost/host.h"

namespace tiv02000 {

void notice(const std::string &text, int kind, const std::string &colourScheme) {
    tivhost::Mensagem(text, "", "N", "N", kind, "", colourScheme, 0, nullptr);
}

namespace {

// The operator's words for an error, logged first under the procedure's name: its own when it
// is an OperatorError, else the kind of failure (the detail stays in the log).
std::string operatorWords(const std::exception &error, const std::string &procedure) {
    logDebug("ERRO!!! " + procedure + ": " + error.what());
    if (dynamic_cast<const OperatorError *>(&error)) return error.what();
    const char *kind = "Erro inesperado.";
    if (dynamic_cast<const NotStarted *>(&error))
        kind = "Impressora fiscal n\xE3o iniciada.";
    else if (dynamic_cast<const tiv::ConversionError *>(&error))
        kind = "Valor em formato inv\xE1lido.";
    else if (dynamic_cast<const tiv::RangeError *>(&error))
        kind = "Valor fora dos limites esperados.";
    else if (dynamic_cast<const tiv::DataError *>(&error))
        kind = "Arquivo ou dados necess\xE1rios ausentes ou inv\xE1lidos.";
    return std::string(kind) + " Detalhes no log de depura\xE7\xE3o.";
}

} // namespace

std::string operatorText(const std::exception &error, const std::string &procedure) {
    const std::string words = operatorWords(error, procedure);
    if (dynamic_cast<const OperatorError *>(&error)) return words;
    return procedure + ": " + words;
}

void parameterNotice(const std::exception &error, const std::string &procedure) {
    tivhost::Mensagem(operatorWords(error, procedure) +
                          "\rErro no recebimento dos par\xE2metros da fun\xE7\xE3o: " + procedure +
                          " - Tiv_02000.bpl",
                      "", "N", "N", 3, "", "001", 0, nullptr);
}

} // namespace tiv02000
