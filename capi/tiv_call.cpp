// The C interface: one JSON request, one JSON answer, through the very engine
// of `tiv run` (one step of a script), so the two cannot drift.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "module.h"
#include "printer_control.h"
#include "script_runner.h"
#include "tivcall/tivcall.h"

namespace {

using tivtool::Json;

struct Session {
    std::unique_ptr<tivtool::Module> module;
    std::unique_ptr<tivtool::PrinterControl> printer;
};

std::mutex callMutex;
Session session;
std::string lastError;

// libtiv02000.so beside this library, wherever the host loaded it from.
std::string moduleBesideUs() {
    if (const char *given = std::getenv("TIV_MODULE"); given && *given) return given;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&tiv_invoke), &info) && info.dli_fname)
        return (std::filesystem::path(info.dli_fname).parent_path() / "libtiv02000.so").string();
    return "libtiv02000.so";
}

// Opens the module and the printer; throws with the reason.
void open(const Json &options) {
    Session fresh;
    const std::string modulePath = options.value("module", moduleBesideUs());
    fresh.module = std::make_unique<tivtool::Module>(modulePath);
    const std::string printerPath = options.value("printer", std::string());
    std::string why;
    fresh.printer = tivtool::PrinterControl::open(printerPath, fresh.module->folder(), why);
    if (!fresh.printer && !printerPath.empty())
        throw std::runtime_error("cannot use the virtual printer: " + why);
    session = std::move(fresh);
}

Json error(const std::string &kind, const std::string &message, size_t argument = 0) {
    return Json{{"error",
                 {{"kind", kind},
                  {"message", message},
                  {"argument", argument ? Json(argument) : Json(nullptr)}}}};
}

// The request as a one-step script: the operator's answers first, then the call.
Json scriptOf(const Json &request) {
    if (!request.is_object() || (!request.contains("call") && !request.contains("ecfsim")))
        throw std::invalid_argument(
            "a request is an object {\"call\": \"Procedure\", \"args\": [...]} or "
            "{\"ecfsim\": \"Control\", \"args\": [...]}");
    Json step = request;
    Json steps = Json::array();
    if (request.contains("answers")) {
        steps.push_back({{"answers", request["answers"]}});
        step.erase("answers");
    }
    steps.push_back(std::move(step));
    return Json{{"steps", std::move(steps)}};
}

Json invoke(const std::string &text) {
    Json request;
    try {
        request = Json::parse(text);
    } catch (const Json::parse_error &e) {
        return error("json", std::string("the request is not JSON: ") + e.what());
    }
    Json script;
    try {
        script = scriptOf(request);
    } catch (const std::invalid_argument &e) {
        return error("request", e.what());
    }
    if (!session.module) {
        try {
            open(Json::object());
        } catch (const std::exception &e) {
            return error("open", e.what());
        }
    }
    tivtool::ScriptRunner runner(*session.module, session.printer.get());
    bool failed = false;
    Json transcript = runner.run(script, failed);
    if (failed) {
        const Json &e = transcript.at("error");
        const size_t argument = e.value("argument", size_t{0});
        // A step that could not be checked is the request's fault; one that failed running is not.
        const bool checked = transcript.at("steps").empty() && e.value("step", size_t{0}) != 0;
        return error(argument ? "argument" : (checked ? "request" : "run"),
                     e.value("message", std::string()), argument);
    }
    Json record = transcript.at("steps").back();
    record.erase("step");
    if (transcript.contains("unusedAnswers")) record["unusedAnswers"] = transcript["unusedAnswers"];
    return record;
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
            options_json && *options_json ? Json::parse(options_json) : Json::object();
        if (!options.is_object()) throw std::invalid_argument("the options are a JSON object");
        open(options);
        return 0;
    } catch (const std::exception &e) {
        lastError = e.what();
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
        answer = request_json ? invoke(request_json) : error("request", "the request is NULL");
    } catch (const std::exception &e) {
        answer = error("run", e.what());
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
    session = Session{};
}
