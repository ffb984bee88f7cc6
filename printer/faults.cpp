#include "faults.h"

#include "epson/reply_sizes.h"
#include "state_json.h"
#include "text.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace ecfsim {

Faults &faults() {
    static Faults *f = new Faults();
    return *f;
}

Journal &journal() {
    static Journal *j = new Journal();
    return *j;
}

StatusOverlay &statusOverlay() {
    static StatusOverlay *o = new StatusOverlay();
    return *o;
}

std::string StatusOverlay::apply(std::string status) const {
    if (!commWord.empty()) status.replace(4, 4, commWord);
    if (!mechWord.empty()) status.replace(8, 4, mechWord);
    if (position >= 1 && position + text.size() - 1 <= status.size())
        status.replace(position - 1, text.size(), text);
    return status;
}

namespace {
bool hex4(const std::string &s) {
    if (s.size() != 4) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}
// A forced reply: one text per reply buffer of the entry point, none longer than its buffer.
void addReplyTexts(const nlohmann::json &spec, Fault &f) {
    const epson::ReplySizes *sizes = epson::replySizes(f.entry);
    if (!sizes)
        throw std::invalid_argument("reply needs \"entry\": an entry point whose reply the "
                                    "driver reads (\"" +
                                    f.entry + "\" is not one)");
    std::vector<std::string> given;
    if (spec.contains("text") == spec.contains("texts"))
        throw std::invalid_argument("reply needs \"text\" or \"texts\" (one per buffer)");
    if (spec.contains("text"))
        given.push_back(spec.at("text").get<std::string>());
    else
        given = spec.at("texts").get<std::vector<std::string>>();
    std::size_t buffers = 0;
    while (buffers < sizes->sizes.size() && sizes->sizes[buffers] > 0)
        ++buffers;
    if (given.empty() || given.size() > buffers)
        throw std::invalid_argument(f.entry + " has " + std::to_string(buffers) +
                                    " reply buffer(s)");
    for (std::size_t i = 0; i < given.size(); ++i) {
        std::string text = utf8ToCp1252(given[i]);
        if (text.size() > sizes->sizes[i])
            throw std::invalid_argument("reply text " + std::to_string(i + 1) + " of " + f.entry +
                                        " is longer than its " + std::to_string(sizes->sizes[i]) +
                                        " characters");
        f.texts.push_back(std::move(text));
    }
    if (f.entry == "EPSON_Obter_Estado_Horario_Verao" && f.texts[0] != "0" && f.texts[0] != "1")
        throw std::invalid_argument("the daylight-saving flag's reply is \"0\" or \"1\"");
}

} // namespace

int32_t Faults::add(const nlohmann::json &spec) {
    if (!spec.is_object()) throw std::invalid_argument("fault must be a JSON object");
    Fault f;
    f.kind = spec.value("kind", std::string());
    f.entry = spec.value("entry", std::string());
    int64_t at = spec.value("at", int64_t{1});
    f.count = spec.value("count", int64_t{1});
    f.persistent = spec.value("persistent", false);
    f.ret = spec.value("return", int32_t{f.kind == "reply" ? 0 : 1});
    if (at < 1) throw std::invalid_argument("\"at\" must be 1 or more");
    if (f.count < 1) throw std::invalid_argument("\"count\" must be 1 or more");
    f.skip = at - 1;
    if (f.kind == "comm") {
        f.code = spec.value("code", std::string("0002"));
        if (!hex4(f.code)) throw std::invalid_argument("comm code must be four hex digits");
    } else if (f.kind == "refuse") {
        f.code = spec.value("code", std::string("0601"));
        if (!hex4(f.code)) throw std::invalid_argument("refusal code must be four hex digits");
        if (f.entry.empty()) throw std::invalid_argument("refuse needs \"entry\"");
    } else if (f.kind == "status") {
        f.text = spec.value("text", std::string());
        f.position = spec.value("position", int32_t{1});
        f.entry = "EPSON_Obter_Estado_Impressora";
        if (f.text.empty() || f.position < 1 || f.position + f.text.size() - 1 > 20)
            throw std::invalid_argument("status text must lie within positions 1-20");
    } else if (f.kind == "reply") {
        addReplyTexts(spec, f);
    } else if (f.kind == "noanswer" || f.kind == "paper" || f.kind == "lost") {
        if (f.kind != "paper" && !spec.contains("return")) f.ret = 1;
    } else {
        throw std::invalid_argument("unknown fault kind \"" + f.kind + "\"");
    }
    if (f.kind != "status" && f.kind != "reply" && f.ret == 0 && f.kind != "paper")
        throw std::invalid_argument("a faulted call must return non-zero");
    f.id = nextId_++;
    faults_.push_back(f);
    return f.id;
}

std::optional<Fault> Faults::fire(std::string_view entry) {
    std::optional<Fault> fired;
    for (auto &f : faults_) {
        if (!f.entry.empty() && f.entry != entry) continue;
        if (f.skip > 0) {
            --f.skip;
            continue;
        }
        if (fired) continue; // one fault per call; the others wait for the next one
        fired = f;
        if (!f.persistent) --f.count;
    }
    std::erase_if(faults_, [](const Fault &f) { return !f.persistent && f.count <= 0; });
    return fired;
}

void Journal::add(Call call) {
    if (calls_.size() >= kLimit) calls_.pop_front();
    calls_.push_back(std::move(call));
}

nlohmann::json Journal::all() const {
    nlohmann::json out = nlohmann::json::array();
    for (const auto &c : calls_) {
        nlohmann::json args = nlohmann::json::array();
        for (const auto &a : c.args) {
            if (const auto *text = std::get_if<std::string>(&a))
                args.push_back(cp1252ToUtf8(*text));
            else if (const auto *number = std::get_if<int32_t>(&a))
                args.push_back(*number);
            else
                args.push_back(nullptr);
        }
        char result[8];
        std::snprintf(result, sizeof result, "%04X", static_cast<unsigned>(c.result));
        nlohmann::json call{
            {"entry", c.entry}, {"args", std::move(args)}, {"return", c.ret}, {"result", result}};
        if (c.fault) call["fault"] = c.fault;
        out.push_back(std::move(call));
    }
    return out;
}

} // namespace ecfsim
