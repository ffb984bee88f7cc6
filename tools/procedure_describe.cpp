#include "procedure_describe.h"

#include <cctype>
#include <sstream>

#include "procedure_reference.h"
#include "procedure_table.h"

namespace tivtool {

namespace {

// The argument form a script gives for a declared parameter (docs/tiv.md,
// "Argument forms"), refined by what the reference says the value holds.
std::string formOf(const ArgInfo &info, const Json &param) {
    const std::string &d = info.declared;
    const bool ref = !d.empty() && d.back() == '&';
    const bool isConst = d.rfind("const ", 0) == 0;
    if (d.find("TClientDataSet") != std::string::npos) return "dataset";
    if (d.find("TStringList") != std::string::npos) return "string list";
    if (d.find("Variant") != std::string::npos) {
        if (param.contains("keys")) return "parameter array";
        if (!isConst) return "result array";
        if (param.contains("positions") || param.contains("size")) return "argument list";
        return "variant";
    }
    if (d.find("wstring") != std::string::npos) return "wide text";
    if (d.find("string") != std::string::npos) return ref && !isConst ? "text out" : "text";
    if (d.find("TDateTime") != std::string::npos) return ref ? "date-time out" : "date-time";
    if (d.find("bool") != std::string::npos) return ref ? "boolean out" : "boolean";
    if (d.find("int32_t") != std::string::npos) return "integer";
    if (d.find("double") != std::string::npos) return "real";
    return d;
}

std::string cell(const std::string &s) {
    std::string out;
    for (char c : s)
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

std::string yesNo(bool b) {
    return b ? "yes" : "no";
}

// The steps of the example as a script, one step a line.
std::string exampleScript(const Json &entry) {
    Json steps = Json::array();
    for (const Json &s : entry.value("before", Json::array()))
        steps.push_back(s);
    steps.push_back(entry.at("example"));
    std::string out = "[\n";
    for (size_t i = 0; i < steps.size(); ++i)
        out += "  " + steps[i].dump() + (i + 1 < steps.size() ? ",\n" : "\n");
    return out + "]";
}

std::string declaration(const ProcedureEntry &p) {
    return std::string(p.declaredReturn) + " " + std::string(p.name) + p.declaredParams;
}

} // namespace

std::string describeProcedure(const Json &entry) {
    const std::string name = entry.at("name").get<std::string>();
    const ProcedureEntry *p = findProcedure(name);
    std::ostringstream out;
    out << name << ": " << entry.at("summary").get<std::string>() << "\n\n";
    if (p) out << "  " << declaration(*p) << "\n\n";
    const std::vector<ArgInfo> infos =
        p ? parseDeclaredParams(p->declaredParams) : std::vector<ArgInfo>{};
    if (!infos.empty()) out << "Arguments:\n";
    for (size_t i = 0; i < infos.size(); ++i) {
        const Json &param = entry.at("params").at(infos[i].name);
        out << "  " << i + 1 << ". " << infos[i].name << " (" << formOf(infos[i], param)
            << "): " << param.at("meaning").get<std::string>() << "\n";
        for (const Json &k : param.value("keys", Json::array()))
            out << "       " << k.at("key").get<std::string>() << " ("
                << k.at("type").get<std::string>()
                << (k.at("required").get<bool>() ? ", required" : "")
                << "): " << k.at("meaning").get<std::string>() << "\n";
        if (param.contains("size"))
            out << "       at least " << param["size"].get<size_t>() << " elements\n";
        for (const Json &q : param.value("positions", Json::array()))
            out << "       [" << q.at("at").get<size_t>() << "] ("
                << q.at("type").get<std::string>()
                << (q.value("optional", false) ? ", may be null" : "")
                << "): " << q.at("meaning").get<std::string>() << "\n";
        for (const Json &f : param.value("fields", Json::array()))
            out << "       field " << f.at("name").get<std::string>() << " ("
                << f.at("type").get<std::string>()
                << (f.value("required", false) ? ", required" : "")
                << "): " << f.at("meaning").get<std::string>() << "\n";
        if (param.contains("lines"))
            out << "       lines: " << param["lines"].get<std::string>() << "\n";
    }
    if (entry.contains("returns"))
        out << "\nReturns: " << entry["returns"].get<std::string>() << "\n";
    const Json &errors = entry.at("errors");
    if (!errors.empty()) {
        out << "\nFails:\n";
        for (const Json &e : errors)
            out << "  - " << e.get<std::string>() << "\n";
    }
    out << "\nExample (tiv run):\n" << exampleScript(entry) << "\n";
    return out.str();
}

std::string describeAll() {
    std::ostringstream out;
    for (const Json &entry : procedureReference())
        out << entry.at("name").get<std::string>() << ": " << entry.at("summary").get<std::string>()
            << "\n";
    return out.str();
}

std::string referenceMarkdown() {
    std::ostringstream out;
    out << "# The procedures\n\n"
           "<!-- Generated by `tiv describe --markdown` from tools/reference/*.json: edit "
           "those, not this page. -->\n\n"
           "Every procedure the driver module exports, with what each argument takes, what "
           "the result means, what makes it fail, and a script that calls it. The argument "
           "forms (how a text, a parameter array or a dataset is written in JSON) are in "
           "[tiv.md](tiv.md#argument-forms); `tiv run`, the C interface and `tiv serve` all "
           "take them, and all refuse a value of the wrong type or form, naming the key or "
           "position and the form expected, before the module is called. Each example runs "
           "as it stands with `tiv run FILE` on a fresh virtual printer (the suite runs every "
           "one). `tiv describe NAME` prints one entry.\n\n"
           "A key of a parameter array is looked up without regard to case; a key left out "
           "reads as an empty text, 0 or false, which is why only some keys are required.\n\n";
    for (const Json &entry : procedureReference()) {
        const std::string name = entry.at("name").get<std::string>();
        std::string anchor = name;
        for (char &c : anchor)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        out << "- [`" << name << "`](#" << anchor << "): " << entry.at("summary").get<std::string>()
            << "\n";
    }
    for (const Json &entry : procedureReference()) {
        const std::string name = entry.at("name").get<std::string>();
        const ProcedureEntry *p = findProcedure(name);
        out << "\n## " << name << "\n\n" << entry.at("summary").get<std::string>() << "\n\n";
        if (p) out << "```cpp\n" << declaration(*p) << "\n```\n\n";
        const std::vector<ArgInfo> infos =
            p ? parseDeclaredParams(p->declaredParams) : std::vector<ArgInfo>{};
        if (!infos.empty()) out << "| # | Argument | Form | Meaning |\n|---|---|---|---|\n";
        for (size_t i = 0; i < infos.size(); ++i) {
            const Json &param = entry.at("params").at(infos[i].name);
            out << "| " << i + 1 << " | `" << infos[i].name << "` | " << formOf(infos[i], param)
                << " | " << cell(param.at("meaning").get<std::string>()) << " |\n";
        }
        for (size_t i = 0; i < infos.size(); ++i) {
            const Json &param = entry.at("params").at(infos[i].name);
            if (param.contains("keys")) {
                out << "\n`" << infos[i].name << "`'s keys:\n\n"
                    << "| Key | Type | Required | Meaning |\n|---|---|---|---|\n";
                for (const Json &k : param["keys"])
                    out << "| `" << k.at("key").get<std::string>() << "` | "
                        << k.at("type").get<std::string>() << " | "
                        << yesNo(k.at("required").get<bool>()) << " | "
                        << cell(k.at("meaning").get<std::string>()) << " |\n";
            }
            if (param.contains("positions") || param.contains("size")) {
                out << "\n`" << infos[i].name << "`'s elements";
                if (param.contains("size"))
                    out << " (at least " << param["size"].get<size_t>() << ")";
                out << ":\n\n| Position | Type | Meaning |\n|---|---|---|\n";
                for (const Json &q : param.value("positions", Json::array()))
                    out << "| " << q.at("at").get<size_t>() << " | "
                        << q.at("type").get<std::string>()
                        << (q.value("optional", false) ? " or null" : "") << " | "
                        << cell(q.at("meaning").get<std::string>()) << " |\n";
            }
            if (param.contains("fields")) {
                out << "\n`" << infos[i].name << "`'s fields:\n\n"
                    << "| Field | Type | Required | Meaning |\n|---|---|---|---|\n";
                for (const Json &f : param["fields"])
                    out << "| `" << f.at("name").get<std::string>() << "` | "
                        << f.at("type").get<std::string>() << " | "
                        << yesNo(f.value("required", false)) << " | "
                        << cell(f.at("meaning").get<std::string>()) << " |\n";
            }
            if (param.contains("lines"))
                out << "\n`" << infos[i].name << "`'s lines: " << param["lines"].get<std::string>()
                    << "\n";
        }
        if (entry.contains("returns"))
            out << "\n**Returns:** " << entry["returns"].get<std::string>() << "\n";
        if (!entry.at("errors").empty()) {
            out << "\n**Fails:**\n\n";
            for (const Json &e : entry["errors"])
                out << "- " << e.get<std::string>() << "\n";
        }
        out << "\n**Example:**\n\n```json\n" << exampleScript(entry) << "\n```\n";
        const Json &expect = entry.at("expect");
        if (!expect.is_null())
            out << "\nOn a fresh virtual printer it returns `" << expect.dump() << "`.\n";
    }
    return out.str();
}

} // namespace tivtool
