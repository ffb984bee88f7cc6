#include "printer_control.h"

#include <dlfcn.h>

#include <filesystem>

namespace tivtool {

namespace {

// How each control is called: what it takes and what it answers.
enum class Shape {
    NoneToCode,   // int32_t f(void)
    TextToCode,   // int32_t f(const char*)
    JsonToCode,   // int32_t f(const char* json), the argument an object or omitted
    Int64ToCode,  // int32_t f(int64_t)
    BoolToCode,   // int32_t f(int32_t), the argument true or false
    NoneToData,   // const char* f(void), a JSON text
    Int64ToData,  // const char* f(int64_t), a JSON text
    NoneToNumber, // int64_t f(void)
};

struct Control {
    const char *name;
    Shape shape;
};

constexpr Control controls[] = {
    {"OpenFolder", Shape::TextToCode},      {"Folder", Shape::NoneToData},
    {"Reset", Shape::JsonToCode},           {"SetClock", Shape::TextToCode},
    {"ShiftClock", Shape::Int64ToCode},     {"InjectFault", Shape::JsonToCode},
    {"ClearFaults", Shape::NoneToCode},     {"Journal", Shape::NoneToData},
    {"ClearJournal", Shape::NoneToCode},    {"MarkPaper", Shape::NoneToNumber},
    {"PaperSince", Shape::Int64ToData},     {"State", Shape::NoneToData},
    {"LastError", Shape::NoneToData},       {"SetDrawer", Shape::BoolToCode},
    {"SetCounters", Shape::JsonToCode},     {"SetTables", Shape::JsonToCode},
    {"RecordReduction", Shape::JsonToCode}, {"FiscalMemory", Shape::NoneToData},
    {"DetailMemory", Shape::NoneToData},
};

const Control *findControl(const std::string &name) {
    for (const Control &c : controls)
        if (name == c.name) return &c;
    return nullptr;
}

std::string controlNames() {
    std::string names;
    for (const Control &c : controls)
        names += std::string(names.empty() ? "" : ", ") + c.name;
    return names;
}

Json parseData(const char *text) {
    if (!text) return nullptr;
    Json j = Json::parse(text, nullptr, false);
    return j.is_discarded() ? Json(text) : j;
}

} // namespace

struct PrinterControl::Api {
    void *fn[std::size(controls)] = {};
    template <typename F> F get(const char *name) const {
        for (size_t i = 0; i < std::size(controls); ++i)
            if (std::string_view(controls[i].name) == name) return reinterpret_cast<F>(fn[i]);
        return nullptr;
    }
};

std::unique_ptr<PrinterControl>
PrinterControl::open(const std::string &path, const std::string &besideFolder, std::string &why) {
    const std::string file = "libInterfaceEpson.so";
    void *handle = nullptr;
    std::string used;
    auto attempt = [&](const std::string &p, int mode) {
        if (handle) return;
        dlerror();
        handle = dlopen(p.c_str(), mode);
        if (handle) {
            used = p;
        } else {
            const char *e = dlerror();
            why += (why.empty() ? "" : "; ") + p + ": " + (e ? e : "not loaded");
        }
    };
    // Never unloaded, as a printer stays on its port: unloaded, it would leave its folder's
    // lock behind in this process, and loaded again it could not open that folder.
    const int mode = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
    if (!path.empty()) {
        attempt(path, mode);
    } else {
        attempt(file, mode | RTLD_NOLOAD);
        const std::string beside = besideFolder + "/" + file;
        if (!handle && std::filesystem::exists(beside)) attempt(beside, mode);
    }
    if (!handle) {
        if (why.empty()) why = file + " not found beside the module";
        return nullptr;
    }
    auto api = std::make_unique<Api>();
    for (size_t i = 0; i < std::size(controls); ++i) {
        const std::string name = std::string("ECFSIM_") + controls[i].name;
        api->fn[i] = dlsym(handle, name.c_str());
        if (!api->fn[i]) {
            why = used + " is not the virtual printer: it lacks " + name;
            dlclose(handle);
            return nullptr;
        }
    }
    return std::unique_ptr<PrinterControl>(new PrinterControl(handle, used, std::move(api)));
}

PrinterControl::PrinterControl(void *handle, std::string path, std::unique_ptr<Api> api)
    : handle_(handle), path_(std::move(path)), api_(std::move(api)) {}

PrinterControl::~PrinterControl() {
    dlclose(handle_);
}

void PrinterControl::validate(const std::string &name, const Json &args) {
    const Control *c = findControl(name);
    if (!c) throw ShapeError("unknown printer control \"" + name + "\"; known: " + controlNames());
    if (!args.is_array()) wrongShape("\"args\" as an array", args);
    auto count = [&](size_t lo, size_t hi, const char *what) {
        if (args.size() < lo || args.size() > hi)
            throw ShapeError("printer control " + name + " takes " + what + ", got " +
                             std::to_string(args.size()) + " argument(s)");
    };
    switch (c->shape) {
    case Shape::NoneToCode:
    case Shape::NoneToData:
    case Shape::NoneToNumber:
        count(0, 0, "no arguments");
        break;
    case Shape::TextToCode:
        count(1, 1, "one text");
        if (!args[0].is_string()) wrongShape("a text", args[0]);
        break;
    case Shape::JsonToCode:
        count(0, 1, "one object or nothing");
        if (!args.empty() && !args[0].is_object() && !args[0].is_null())
            wrongShape("an object", args[0]);
        break;
    case Shape::BoolToCode:
        count(1, 1, "true or false");
        if (!args[0].is_boolean()) wrongShape("true or false", args[0]);
        break;
    case Shape::Int64ToCode:
    case Shape::Int64ToData:
        count(1, 1, "one integer");
        if (!args[0].is_number_integer() ||
            (args[0].is_number_unsigned() && args[0].get<uint64_t>() > INT64_MAX))
            wrongShape("an integer", args[0]);
        break;
    }
}

Json PrinterControl::run(const std::string &name, const Json &args) {
    validate(name, args);
    if (name == "Journal") {
        Json fresh = drainJournal();
        if (!fresh.is_array()) return fresh;
        Json all = Json::array();
        for (const Json &entry : journal_)
            all.push_back(entry);
        return all;
    }
    if (name == "ClearJournal") journal_.clear();
    const Control *c = findControl(name);
    const size_t index = static_cast<size_t>(c - controls);
    void *f = api_->fn[index];
    int32_t code = 0;
    switch (c->shape) {
    case Shape::NoneToCode:
        code = reinterpret_cast<int32_t (*)()>(f)();
        break;
    case Shape::TextToCode:
        code = reinterpret_cast<int32_t (*)(const char *)>(f)(args[0].get<std::string>().c_str());
        break;
    case Shape::JsonToCode: {
        const std::string text = args.empty() || args[0].is_null() ? "" : args[0].dump();
        code = reinterpret_cast<int32_t (*)(const char *)>(f)(text.c_str());
        break;
    }
    case Shape::Int64ToCode:
        code = reinterpret_cast<int32_t (*)(int64_t)>(f)(args[0].get<int64_t>());
        break;
    case Shape::BoolToCode:
        code = reinterpret_cast<int32_t (*)(int32_t)>(f)(args[0].get<bool>() ? 1 : 0);
        break;
    case Shape::NoneToData:
        return parseData(reinterpret_cast<const char *(*)()>(f)());
    case Shape::Int64ToData:
        return parseData(reinterpret_cast<const char *(*)(int64_t)>(f)(args[0].get<int64_t>()));
    case Shape::NoneToNumber:
        return reinterpret_cast<int64_t (*)()>(f)();
    }
    if (code < 0) {
        Json why = parseData(api_->get<const char *(*)()>("LastError")());
        std::string reason = why.is_object() && why.contains("error") && why["error"].is_string()
                                 ? why["error"].get<std::string>()
                                 : why.dump();
        throw ControlError("printer control " + name + " failed: " + reason);
    }
    return code;
}

Json PrinterControl::drainJournal() {
    Json j = parseData(api_->get<const char *(*)()>("Journal")());
    if (!j.is_array()) return j;
    if (!j.empty()) api_->get<int32_t (*)()>("ClearJournal")();
    for (const Json &entry : j) {
        if (journal_.size() >= kJournalLimit) journal_.pop_front();
        journal_.push_back(entry);
    }
    return j;
}

void PrinterControl::beginCall() {
    drainJournal();
}

Json PrinterControl::callJournal() {
    Json j = drainJournal();
    return j.is_array() ? j : Json::array();
}

int64_t PrinterControl::markPaper() {
    return api_->get<int64_t (*)()>("MarkPaper")();
}

Json PrinterControl::paperSince(int64_t mark) {
    Json j = parseData(api_->get<const char *(*)(int64_t)>("PaperSince")(mark));
    if (j.is_object() && j.contains("lines")) return j["lines"];
    return j;
}

} // namespace tivtool
