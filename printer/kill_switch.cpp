#include "kill_switch.h"

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace ecfsim::kill {

namespace {

enum class Phase { Before, Commit, Reply };

struct Plan {
    int64_t at = 0; // 0: never
    Phase phase = Phase::Before;
};

Plan readPlan() {
    Plan plan;
    const char *env = std::getenv("ECFSIM_KILL_AT");
    if (!env || !*env) return plan;
    std::string_view text = env;
    std::string_view number = text.substr(0, text.find(':'));
    std::string_view phase =
        number.size() < text.size() ? text.substr(number.size() + 1) : std::string_view("before");
    int64_t n = 0;
    for (char c : number) {
        if (c < '0' || c > '9' || n > 1'000'000'000) return plan;
        n = n * 10 + (c - '0');
    }
    if (phase == "before")
        plan.phase = Phase::Before;
    else if (phase == "commit")
        plan.phase = Phase::Commit;
    else if (phase == "reply")
        plan.phase = Phase::Reply;
    else
        return plan;
    plan.at = n;
    return plan;
}

const Plan kPlan = readPlan(); // at load
int64_t calls = 0;
int depth = 0;       // a call made from inside another counts as part of it
bool doomed = false; // this is the Nth call

[[noreturn]] void die() {
    std::raise(SIGKILL);
    std::abort(); // not reached
}

} // namespace

Call::Call() {
    if (kPlan.at == 0 || depth++ > 0) return;
    doomed = ++calls == kPlan.at;
    if (doomed && kPlan.phase == Phase::Before) die();
}

Call::~Call() {
    if (kPlan.at == 0 || --depth > 0) return;
    if (doomed) die(); // a call that reached no commit
}

void beforeCommit() {
    if (doomed && kPlan.phase == Phase::Commit) die();
}

void afterCommit() {
    if (doomed && kPlan.phase == Phase::Reply) die();
}

} // namespace ecfsim::kill
