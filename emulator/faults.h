#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace ecfsim {

struct Fault {
    int32_t id = 0;
    std::string kind;  // "comm", "paper", "noanswer", "refuse", "status"
    std::string entry; // empty: every entry point
    std::string code;  // comm word or refusal code, four hexadecimal digits
    std::string text;  // status: the forced text
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

// Every call made, with its arguments as text.
class Journal {
  public:
    static constexpr std::size_t kLimit = 100000; // oldest calls are dropped past this
    void add(nlohmann::json entry);
    nlohmann::json all() const;
    void clear() { calls_.clear(); }

  private:
    std::deque<nlohmann::json> calls_;
};

Faults &faults();
Journal &journal();

} // namespace ecfsim
