#include "call_session.h"

#include <stdexcept>

#include "procedure_table.h"
#include "script_runner.h"

namespace tivtool {

namespace {

// The request as a one-step script: the operator's answers first, then the call.
Json scriptOf(const Json &request) {
    if (!request.is_object() || (!request.contains("call") && !request.contains("ecfsim")))
        throw std::invalid_argument(
            "a request is an object {\"call\": \"Procedure\", \"args\": [...]}, "
            "{\"ecfsim\": \"Control\", \"args\": [...]} or {\"receipt\": {...}}");
    Json step = request;
    Json steps = Json::array();
    if (request.contains("answers")) {
        steps.push_back({{"answers", request["answers"]}});
        step.erase("answers");
    }
    // Members a transport adds for itself are not the step's.
    step.erase("id");
    steps.push_back(std::move(step));
    return Json{{"steps", std::move(steps)}};
}

} // namespace

CallSession::CallSession(const Json &options, const std::string &defaultModule) {
    if (!options.is_object()) throw std::invalid_argument("the options are a JSON object");
    const Json &named = options.contains("module") ? options["module"] : Json(defaultModule);
    // An empty path would load the running program itself, which exports no procedure.
    if (!named.is_string() || named.get<std::string>().empty())
        throw std::invalid_argument("\"module\" is the path of the driver module");
    module_ = std::make_unique<Module>(named.get<std::string>());
    const std::string printerPath = options.value("printer", std::string());
    std::string why;
    printer_ = PrinterControl::open(printerPath, module_->folder(), why);
    if (!printer_ && !printerPath.empty())
        throw std::runtime_error("cannot use the virtual printer: " + why);
}

Json CallSession::error(const std::string &kind, const std::string &message, size_t argument) {
    return Json{{"error",
                 {{"kind", kind},
                  {"message", message},
                  {"argument", argument ? Json(argument) : Json(nullptr)}}}};
}

Json CallSession::invoke(const std::string &requestText) {
    Json request;
    try {
        request = parseJsonText(requestText);
    } catch (const JsonTextError &e) {
        return error("json", std::string("the request: ") + e.what());
    }
    return invoke(request);
}

Json CallSession::invokeReceipt(const Json &request) {
    for (const auto &[name, value] : request.items())
        if (name != "receipt" && name != "id")
            return error("request",
                         "a receipt request is {\"receipt\": {...}, \"id\": \"...\"}; \"" + name +
                             "\" is not a member of it");
    std::string id;
    if (request.contains("id")) {
        const Json &given = request["id"];
        if (!given.is_string() || given.get<std::string>().empty() ||
            given.get<std::string>().size() > 128)
            return error("request", "\"id\" is a text of 1 to 128 characters");
        id = given.get<std::string>();
    }
    Receipt receipt;
    try {
        receipt = parseReceipt(request["receipt"]);
    } catch (const ReceiptInputError &e) {
        // Nothing reached the printer: the request's fault, named to the member.
        Json refused = error("argument", e.what());
        refused["error"]["field"] = e.field();
        return refused;
    }
    const auto call = [this](const Json &step) { return invoke(step); };
    if (id.empty()) {
        ReceiptProgress once;
        return runReceipt(receipt, once, call);
    }
    const std::string text =
        request["receipt"].dump(-1, ' ', false, Json::error_handler_t::replace);
    auto kept = receipts_.find(id);
    if (kept == receipts_.end()) {
        kept = receipts_.emplace(id, KeptReceipt{text, ReceiptProgress{}}).first;
        receiptOrder_.push_back(id);
        while (receiptOrder_.size() > kKeptReceipts) {
            receipts_.erase(receiptOrder_.front());
            receiptOrder_.pop_front();
        }
    } else if (kept->second.request != text) {
        return error("request", "the id \"" + id + "\" was given to another receipt");
    } else if (kept->second.progress.closed) {
        Json again = runReceipt(receipt, kept->second.progress, call); // calls nothing
        again["repeated"] = true;
        return again;
    }
    return runReceipt(receipt, kept->second.progress, call);
}

Json CallSession::invoke(const Json &request) {
    try {
        if (request.is_object() && request.contains("receipt")) return invokeReceipt(request);
        Json script;
        try {
            script = scriptOf(request);
        } catch (const std::invalid_argument &e) {
            return error("request", e.what());
        }
        // A procedure the module does not have is no malformed request: nothing by that name.
        if (request.contains("call") && request["call"].is_string()) {
            const std::string name = request["call"].get<std::string>();
            if (!findProcedure(name) || !module_->symbol(name))
                return error("unknown", "the module has no procedure named \"" + name + "\"");
        }
        ScriptRunner runner(*module_, printer_.get());
        try {
            runner.validate(script);
        } catch (const ScriptError &e) {
            // Nothing reached the printer: the request's fault.
            return error(e.argument() ? "argument" : "request", e.detail(), e.argument());
        }
        bool failed = false;
        Json transcript = runner.run(script, failed);
        if (failed) return error("run", transcript.at("error").value("message", std::string()));
        Json record = transcript.at("steps").back();
        record.erase("step");
        if (transcript.contains("unusedAnswers"))
            record["unusedAnswers"] = transcript["unusedAnswers"];
        return record;
    } catch (const std::exception &e) {
        return error("run", e.what());
    }
}

} // namespace tivtool
