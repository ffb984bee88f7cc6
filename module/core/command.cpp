#include "core/command.h"

#include "core/debug_log.h"
#include "core/return_analysis.h"

namespace tiv02000 {

bool analyse(const Analysis &how, const Sent &sent) {
    if (!sent.debugLine.empty()) logDebug(sent.debugLine);
    return analyse(how, sent.returnCode);
}

bool analyse(const Analysis &how, int32_t returnCode) {
    return AnalisaRetorno(how.colourScheme, returnCode, how.show, how.flag4, how.flag5);
}

std::string replyLine(const std::string &entryPoint, const std::string &reply) {
    return entryPoint + "\r\nRetorno da Impressora : " + reply;
}

} // namespace tiv02000
