#include "core/dialogs.h"

#include "tivhost/host.h"

namespace tiv02000 {

void notice(const std::string &text, int kind, const std::string &colourScheme) {
    tivhost::Mensagem(text, "", "N", "N", kind, "", colourScheme, 0, nullptr);
}

void parameterNotice(const std::exception &error, const std::string &procedure) {
    tivhost::Mensagem(std::string(error.what()) +
                          "\rErro no recebimento dos par\xE2metros da fun\xE7\xE3o: " + procedure +
                          " - Tiv_02000.bpl",
                      "", "N", "N", 3, "", "001", 0, nullptr);
}

} // namespace tiv02000
