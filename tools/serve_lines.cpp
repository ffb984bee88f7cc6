// JSON lines: one request per line on standard input, one answer per line on
// standard output, in order.
#include <istream>
#include <ostream>

#include "serve.h"

namespace tivtool {

namespace {

// Reads one line of at most kMaxRequestBytes; a longer one is read to its end
// and dropped, `tooLong` set. False at the end of the input.
bool readLine(std::istream &in, std::string &line, bool &tooLong) {
    line.clear();
    tooLong = false;
    bool any = false;
    for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
        any = true;
        if (c == '\n') return true;
        if (line.size() < kMaxRequestBytes)
            line.push_back(static_cast<char>(c));
        else
            tooLong = true;
    }
    return any;
}

Json answerLine(Service &service, const std::string &line) {
    Json request;
    try {
        request = parseJsonText(line);
    } catch (const JsonTextError &e) {
        return CallSession::error("json", std::string("the request: ") + e.what());
    }
    if (request.is_object() && request.contains("status")) {
        if (!request["status"].is_string())
            return CallSession::error("request", "\"status\" is the id of a call, a text");
        return service.status(request["status"].get<std::string>());
    }
    if (request.is_object() && request.contains("log")) {
        if (!request["log"].is_number_unsigned())
            return CallSession::error("request", "\"log\" is a number of lines");
        return Service::logTail(request["log"].get<size_t>());
    }
    return service.call(request);
}

} // namespace

void serveLines(Service &service, std::istream &in, std::ostream &out, std::mutex *answering) {
    std::string line;
    bool tooLong = false;
    for (;;) {
        std::unique_lock<std::mutex> held;
        if (!readLine(in, line, tooLong)) return;
        if (answering) held = std::unique_lock(*answering);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos && !tooLong) continue;
        const Json answer =
            tooLong ? CallSession::error("request", "a request line is at most " +
                                                        std::to_string(kMaxRequestBytes) + " bytes")
                    : answerLine(service, line);
        out << answer.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
        // The client is gone: the call it saw start has ended, and no other is begun for it.
        if (!out) return;
    }
}

} // namespace tivtool
