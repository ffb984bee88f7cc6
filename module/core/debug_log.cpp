#include "core/debug_log.h"
#include "core/call_guard.h"

#include <cstdio>

#include "core/command.h"
#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace tiv02000 {

namespace {
bool failing = false;
}

void logDebug(const std::string &text) {
    const std::string path = debugLogPath(tiv::programFolder(), tiv::now());
    try {
        tiv::appendLine(path,
                        tiv::formatDateTime("dd/mm/yyyy hh:nn:ss", tiv::now()) + " - " + text);
        failing = false;
    } catch (const std::exception &e) {
        if (!failing) std::fprintf(stderr, "tiv02000: debug log not written: %s\n", e.what());
        failing = true;
    }
}

void logReply(const std::string &entryPoint, const std::string &reply) {
    logDebug(replyLine(entryPoint, reply));
}

} // namespace tiv02000

extern "C" TIV_EXPORT void ImpFisDebug(const std::string &text) {
    const tiv02000::CallGuard guard;
    tiv02000::logDebug(text);
}
