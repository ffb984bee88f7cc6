#include "script_runner.h"

#include "procedure_reference.h"

#include "debug_log_watch.h"
#include "epson/result_codes.h"
#include "host_procedures.h"
#include "procedure_table.h"
#include "tivhost/host.h"

namespace tivtool {

namespace {

const Json emptyArgs = Json::array();

const Json &argsOf(const Json &step) {
    return step.contains("args") ? step["args"] : emptyArgs;
}

// Installs the dialog handler for the length of a run; the host library keeps
// one handler for the process.
class DialogScope {
  public:
    explicit DialogScope(tivhost::DialogHandler handler) {
        tivhost::setDialogHandler(std::move(handler));
    }
    ~DialogScope() { tivhost::setDialogHandler({}); }
    DialogScope(const DialogScope &) = delete;
    DialogScope &operator=(const DialogScope &) = delete;
};

// The last refusal among a call's journal entries: an entry point that returned non-zero with a
// result code in the status, as {code, meaning, entry}; null when none. A communication fault or
// no answer leaves the code of an earlier command in the status, so it names nothing here.
Json lastRefusal(const Json &journal) {
    for (auto it = journal.rbegin(); it != journal.rend(); ++it) {
        const Json &e = *it;
        if (!e.is_object() || e.value("return", 0) == 0) continue;
        const std::string fault = e.value("fault", std::string());
        if (fault == "comm" || fault == "noanswer") continue;
        const std::string code = e.value("result", std::string("0000"));
        if (code == "0000" || code.size() != 4 ||
            code.find_first_not_of("0123456789ABCDEF") != std::string::npos)
            continue;
        const std::string_view meaning =
            epson::resultMeaning(static_cast<uint16_t>(std::stoul(code, nullptr, 16)));
        return Json{{"code", code},
                    {"meaning", meaning.empty() ? Json(nullptr) : textToJson(std::string(meaning))},
                    {"entry", e.value("entry", std::string())}};
    }
    return nullptr;
}

// What a call wrote into stMensagemTaa. The module only appends to it, except that AbreCupom
// and VendaItem empty it when they start: after them the whole text is theirs.
std::string messagesOfCall(const std::string &procedure, const std::string &before,
                           const std::string &after) {
    if (procedure != "AbreCupom" && procedure != "VendaItem" && after.starts_with(before))
        return after.substr(before.size());
    return after;
}

} // namespace

ScriptError::ScriptError(size_t step, const std::string &what, size_t argument)
    : std::runtime_error(step ? "step " + std::to_string(step) + ": " + what : what), step_(step),
      argument_(argument), detail_(what) {}

ScriptRunner::ScriptRunner(const Module &module, PrinterControl *printer)
    : module_(module), printer_(printer) {}

const Json &ScriptRunner::steps(const Json &script) const {
    if (script.is_array()) return script;
    if (script.is_object() && script.contains("steps") && script["steps"].is_array()) {
        for (const auto &[key, value] : script.items())
            if (key != "steps" && key != "comment" && key != "hostProcedures")
                throw ScriptError(0, "unknown member \"" + key + "\" in the script");
        if (script.contains("hostProcedures")) {
            const Json &h = script["hostProcedures"];
            bool ok = h.is_object();
            for (const auto &[key, value] : h.items())
                ok = ok && (key == "Atu_TotGeral" || key == "DataMoviFiscal") && value.is_boolean();
            if (!ok)
                throw ScriptError(0, "expected \"hostProcedures\": {\"Atu_TotGeral\": boolean, "
                                     "\"DataMoviFiscal\": boolean}, got " +
                                         h.dump());
        }
        return script["steps"];
    }
    throw ScriptError(0, "a script is an array of steps or an object {\"steps\": [...]}");
}

void ScriptRunner::validateStep(const Json &step, size_t number) const {
    if (!step.is_object())
        throw ScriptError(number, "a step is an object with \"call\", \"answers\" or \"ecfsim\"");
    int kinds = 0;
    for (const auto &[key, value] : step.items()) {
        if (key == "call" || key == "answers" || key == "ecfsim") {
            ++kinds;
        } else if (key != "args" && key != "comment") {
            throw ScriptError(number, "unknown member \"" + key + "\" in a step");
        }
    }
    if (kinds != 1)
        throw ScriptError(number, "a step has exactly one of \"call\", \"answers\" or \"ecfsim\"");

    if (step.contains("answers")) {
        const Json &a = step["answers"];
        bool ok = a.is_array() && !step.contains("args");
        for (const Json &x : a)
            ok = ok && x.is_boolean();
        if (!ok) throw ScriptError(number, "expected \"answers\": [booleans], got " + a.dump());
        return;
    }
    if (step.contains("ecfsim")) {
        if (!step["ecfsim"].is_string())
            throw ScriptError(number, "expected \"ecfsim\": control name");
        if (!printer_)
            throw ScriptError(number, "printer control " + step["ecfsim"].dump() +
                                          " needs the virtual printer, which is not loaded "
                                          "(give --printer)");
        try {
            PrinterControl::validate(step["ecfsim"].get<std::string>(), argsOf(step));
        } catch (const ShapeError &e) {
            throw ScriptError(number, e.what());
        }
        return;
    }
    if (!step["call"].is_string()) throw ScriptError(number, "expected \"call\": procedure name");
    const std::string name = step["call"].get<std::string>();
    const ProcedureEntry *entry = findProcedure(name);
    if (!entry) throw ScriptError(number, "unknown procedure \"" + name + "\"");
    if (!module_.symbol(name))
        throw ScriptError(number,
                          "procedure \"" + name + "\" is not exported by " + module_.path());
    try {
        entry->validate(argsOf(step), parseDeclaredParams(entry->declaredParams));
        // What the header cannot say: the keys, positions and fields the procedure reads.
        checkReferenceForms(name, argsOf(step));
    } catch (const ShapeError &e) {
        throw ScriptError(number,
                          name + ": " + e.what() + "; declared " + name + entry->declaredParams,
                          e.argument());
    }
}

void ScriptRunner::validate(const Json &script) const {
    const Json &list = steps(script);
    for (size_t i = 0; i < list.size(); ++i)
        validateStep(list[i], i + 1);
}

Json ScriptRunner::runCall(const Json &step) {
    const std::string name = step["call"].get<std::string>();
    const ProcedureEntry *entry = findProcedure(name);
    void *symbol = module_.symbol(name);

    Json record{{"call", name}};
    Json dialogs = Json::array();
    dialogs_ = &dialogs;
    DebugLogWatch log;
    log.start();
    int64_t paperMark = 0;
    if (printer_) {
        printer_->beginCall();
        paperMark = printer_->markPaper();
    }

    Json hostCalls = Json::array();
    hostCalls_ = &hostCalls;
    const auto *messages = static_cast<const std::string *>(module_.symbol("stMensagemTaa"));
    const std::string messagesBefore = messages ? *messages : std::string();

    CallOutcome outcome = entry->call(
        symbol, argsOf(step), parseDeclaredParams(entry->declaredParams), returnsDateTime(*entry));
    dialogs_ = nullptr;
    hostCalls_ = nullptr;

    if (outcome.returned) record["return"] = std::move(*outcome.returned);
    if (!outcome.out.empty()) record["out"] = std::move(outcome.out);
    if (outcome.exception) record["exception"] = *outcome.exception;
    record["variables"] = moduleVariables();
    if (messages) record["messages"] = textToJson(messagesOfCall(name, messagesBefore, *messages));
    record["dialogs"] = std::move(dialogs);
    if (!hostCalls.empty()) record["hostCalls"] = std::move(hostCalls);
    record["log"] = log.newLines();
    if (printer_) {
        record["journal"] = printer_->callJournal();
        if (Json refusal = lastRefusal(record["journal"]); !refusal.is_null())
            record["printer"] = std::move(refusal);
        record["paper"] = printer_->paperSince(paperMark);
    }
    return record;
}

Json ScriptRunner::moduleVariables() const {
    Json vars = Json::object();
    if (auto *text = static_cast<const std::string *>(module_.symbol("stMensagemTaa")))
        vars["stMensagemTaa"] = textToJson(*text);
    if (auto *flag = static_cast<const bool *>(module_.symbol("boClieUtil")))
        vars["boClieUtil"] = *flag;
    if (auto *index = static_cast<const int32_t *>(module_.symbol("inIndiceReceb")))
        vars["inIndiceReceb"] = *index;
    return vars;
}

Json ScriptRunner::runControl(const Json &step) {
    const std::string name = step["ecfsim"].get<std::string>();
    Json record{{"ecfsim", name}};
    record["result"] = printer_->run(name, argsOf(step));
    return record;
}

Json ScriptRunner::run(const Json &script, bool &failed) {
    failed = false;
    Json transcript{{"module", module_.path()},
                    {"printer", printer_ ? Json(printer_->path()) : Json(nullptr)},
                    {"steps", Json::array()}};
    try {
        validate(script);
    } catch (const ScriptError &e) {
        failed = true;
        transcript["error"] = {{"step", e.step()}, {"message", e.detail()}};
        if (e.argument()) transcript["error"]["argument"] = e.argument();
        return transcript;
    }

    const Json wanted =
        script.is_object() ? script.value("hostProcedures", Json::object()) : Json::object();
    HostProcedures host(module_, wanted.value("Atu_TotGeral", true),
                        wanted.value("DataMoviFiscal", true));
    host.recordInto(&hostCalls_);
    transcript["hostProcedures"] = host.settings();

    DialogScope scope([this](const tivhost::Dialog &d) {
        // Unattended: with no answer queued the operator says no.
        bool answer = false;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        if (dialogs_) {
            Json shown{{"text", textToJson(d.text)},
                       {"askMark", textToJson(d.askMark)},
                       {"kind", d.kind},
                       {"answer", answer}};
            if (!d.caption.empty()) shown["caption"] = textToJson(d.caption);
            dialogs_->push_back(std::move(shown));
        }
        return answer;
    });

    const Json &list = steps(script);
    for (size_t i = 0; i < list.size(); ++i) {
        const Json &step = list[i];
        if (progress_)
            progress_(i + 1, list.size(),
                      step.contains("call")     ? step["call"].get<std::string>()
                      : step.contains("ecfsim") ? step["ecfsim"].get<std::string>()
                                                : "answers");
        Json record;
        try {
            if (step.contains("answers")) {
                for (const Json &a : step["answers"])
                    answers_.push_back(a.get<bool>());
                record = {{"answers", step["answers"]}};
            } else if (step.contains("ecfsim")) {
                record = runControl(step);
            } else {
                record = runCall(step);
            }
        } catch (const std::exception &e) {
            failed = true;
            transcript["error"] = {{"step", i + 1}, {"message", e.what()}};
            return transcript;
        }
        Json numbered{{"step", i + 1}};
        numbered.update(record);
        transcript["steps"].push_back(std::move(numbered));
    }
    if (!answers_.empty()) {
        transcript["unusedAnswers"] = Json(std::vector<bool>(answers_.begin(), answers_.end()));
        answers_.clear();
    }
    return transcript;
}

} // namespace tivtool
