#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace ecfsim {

struct Fault {
    int32_t id = 0;
    std::string kind;  // "comm", "paper", "noanswer", "lost", "refuse", "status", "reply"
    std::string entry; // empty: every entry point
    std::string code;  // comm word or refusal code, four hexadecimal digits
    std::string text;  // status: the forced text
    std::vector<std::string> texts; // reply: the text of each reply buffer (CP1252)
    int32_t position = 1;
    int64_t skip = 0;  // matching calls to let pass before firing
    int64_t count = 1; // firings left
    bool persistent = false;
    int32_t ret = 1;
};

// Faults waiting for their call, counted per matching entry point as in the call order.
class Faults {
  public:
    int32_t add(const nlohmann::json &spec); // throws std::invalid_argument
    void clear() { faults_.clear(); }
    std::optional<Fault> fire(std::string_view entry);

  private:
    std::vector<Fault> faults_;
    int32_t nextId_ = 1;
};

// One argument as the caller passed it: a text (CP1252, as given), a number, or nothing
// (a null pointer or a reply buffer).
using CallArgument = std::variant<std::monostate, int32_t, std::string>;

struct Call {
    const char *entry = ""; // a name of the export list, never freed
    std::vector<CallArgument> args;
    int32_t ret = 0;
    uint16_t result = 0;
    const char *fault = nullptr; // the injected fault's kind, if one took the call
};

// Every call made, with its arguments. Kept as plain records and turned into JSON only when
// read, so that journaling stays a small part of a call's cost.
class Journal {
  public:
    static constexpr std::size_t kLimit = 100000; // oldest calls are dropped past this
    void add(Call call);
    nlohmann::json all() const;
    void clear() { calls_.clear(); }

  private:
    std::deque<Call> calls_;
};

// What injected faults show in the status text, kept apart from the printer's fiscal state.
// The communication and mechanism words stay until the next command that runs unfaulted (or
// until a folder is opened or the faults are cleared); the forced text lasts one status read.
struct StatusOverlay {
    std::string commWord; // positions 5-8; "" = the printer's own
    std::string mechWord; // positions 9-12; "" = the printer's own
    std::string text;     // forced into the status text from `position` (1-based; 0 = none)
    int32_t position = 0;

    void clearWords() {
        commWord.clear();
        mechWord.clear();
    }
    // The printer's status text (20 characters) as the faults show it.
    std::string apply(std::string status) const;
};

Faults &faults();
Journal &journal();
StatusOverlay &statusOverlay();

} // namespace ecfsim
