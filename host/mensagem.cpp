// Operator dialogs go to whatever the host installed; unattended, they are
// written to standard error and answered no, so nothing ever blocks.
#include <cstdio>
#include <mutex>

#include "tivhost/host.h"
#include "tivplatform/cp1252.h"

namespace tivhost {

namespace {

std::mutex handlerMutex;
DialogHandler &installedHandler() {
    static DialogHandler handler;
    return handler;
}

} // namespace

void setDialogHandler(DialogHandler handler) {
    std::lock_guard<std::mutex> lock(handlerMutex);
    installedHandler() = std::move(handler);
}

bool Mensagem(const std::string &text, const std::string &caption, const std::string &flag,
              const std::string &askMark, int kind, const std::string &extra,
              const std::string &colourScheme, int number, const tiv::TClientDataSet *dataset) {
    DialogHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        handler = installedHandler();
    }
    if (handler)
        return handler(
            Dialog{text, caption, flag, askMark, kind, extra, colourScheme, number, dataset});
    std::string line = tiv::cp1252ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return false;
}

} // namespace tivhost
