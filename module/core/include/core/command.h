#pragma once
// The end of every printer command: its debug line, then the return
// analysis of its answer.
#include <cstdint>
#include <string>

namespace tiv02000 {

// How an answer is judged: the colour scheme of the dialogs, whether the
// operator is shown the errors, and the two trailing flags AnalisaRetorno
// accepts.
struct Analysis {
    std::string colourScheme;
    bool show = false;
    bool flag4 = false;
    bool flag5 = false;
};

// A command as it reached the printer: the printer's answer, the debug line
// that records the call (none for a command the log does not record), and
// the name the log and the operator's messages give the command.
struct Sent {
    int32_t returnCode = 0;
    std::string debugLine;
    std::string entry{};
};

// Writes the command's debug line (when it has one), then judges its answer.
bool analyse(const Analysis &how, const Sent &sent);
// Judges an answer whose call leaves no debug line of its own.
bool analyse(const Analysis &how, int32_t returnCode);

// The debug line of a call with a reply buffer: the entry point, CR LF,
// "Retorno da Impressora : " and the reply (or the part of it read).
std::string replyLine(const std::string &entryPoint, const std::string &reply);

} // namespace tiv02000
