// The C interface: one JSON request, one JSON answer, through the very engine
// of `tiv run` (one step of a script), so the two cannot drift.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "call_session.h"
#include "program_folder.h"
#include "tivcall/tivcall.h"

namespace {

using tivtool::Json;

std::mutex callMutex;
std::unique_ptr<tivtool::CallSession> session;
thread_local std::string lastError; // each thread its own, never read while rewritten

// libtiv02000.so beside this library, wherever the host loaded it from.
std::string moduleBesideUs() {
    if (const char *given = std::getenv("TIV_MODULE"); given && *given) return given;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&tiv_invoke), &info) && info.dli_fname)
        return (std::filesystem::path(info.dli_fname).parent_path() / "libtiv02000.so").string();
    return "libtiv02000.so";
}

// A host in another language's interpreter has no folder of its own for the driver: without
// $TIV_PROGRAM_DIR the debug log, the registry file and the till's configuration go to the
// user's state folder (beside the virtual printer's default folder), never beside the
// interpreter.
Json invoke(const char *text) {
    if (!text) return tivtool::CallSession::error("request", "the request is NULL");
    if (!session) {
        tivtool::settleProgramFolder();
        try {
            session = std::make_unique<tivtool::CallSession>(Json::object(), moduleBesideUs());
        } catch (const std::exception &e) {
            return tivtool::CallSession::error("open", e.what());
        }
    }
    return session->invoke(std::string(text));
}

char *copyOut(const std::string &text) {
    char *out = static_cast<char *>(std::malloc(text.size() + 1));
    if (out) std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int tiv_open(const char *options_json) {
    const std::lock_guard lock(callMutex);
    lastError.clear();
    try {
        const Json options =
            options_json && *options_json ? tivtool::parseJsonText(options_json) : Json::object();
        tivtool::settleProgramFolder();
        session = std::make_unique<tivtool::CallSession>(options, moduleBesideUs());
        return 0;
    } catch (const std::exception &e) {
        lastError = e.what();
        session.reset(); // the next call tries the default again
        return -1;
    }
}

extern "C" __attribute__((visibility("default"))) int tiv_invoke(const char *request_json,
                                                                 char **response_json) {
    if (!response_json) return -1;
    *response_json = nullptr;
    const std::lock_guard lock(callMutex);
    Json answer;
    try {
        answer = invoke(request_json);
    } catch (const std::exception &e) {
        answer = tivtool::CallSession::error("run", e.what());
    }
    // The module's texts are Windows-1252 made UTF-8 by the engine; a stray byte still answers.
    *response_json = copyOut(answer.dump(-1, ' ', false, Json::error_handler_t::replace));
    return answer.contains("error") ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) void tiv_free(char *text) {
    std::free(text);
}

extern "C" __attribute__((visibility("default"))) const char *tiv_last_error(void) {
    return lastError.c_str();
}

extern "C" __attribute__((visibility("default"))) void tiv_close(void) {
    const std::lock_guard lock(callMutex);
    session.reset();
}
