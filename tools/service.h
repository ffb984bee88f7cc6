#pragma once
// The calls of `tiv serve`, whatever carries them: one at a time (the printer
// is one serial device), each run to completion even when its client has gone,
// and its answer kept under the client's id for a later status request.
//
// An id names one request. The same id sent again with the same request gets
// the kept answer and the printer is not called again: a client that lost an
// answer may repeat its request and never sell twice. The same id with another
// request is refused.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "call_session.h"

namespace tivtool {

class Service {
  public:
    // How many answers are kept; the oldest go first.
    static constexpr size_t kKeptAnswers = 1000;
    // The longest id accepted.
    static constexpr size_t kMaxIdLength = 128;

    explicit Service(CallSession &session, size_t keptAnswers = kKeptAnswers)
        : session_(session), keptAnswers_(keptAnswers) {}

    // A request of the C interface's form, with an optional "id" (a text of
    // at most kMaxIdLength characters) echoed in the answer.
    Json call(const Json &request);
    // {"id", "status": "running"} or {"id", "status": "done", "answer"}; an
    // error of kind "unknown" for an id not (or no longer) kept.
    Json status(const std::string &id) const;
    static constexpr size_t kMaxLogLines = 10000;
    // The last `lines` (at most kMaxLogLines) lines of the driver's debug log of this month, in
    // UTF-8.
    static Json logTail(size_t lines);

    const CallSession &session() const { return session_; }

  private:
    struct Kept {
        Json request;
        Json answer; // null while running
    };
    // Under keptMutex_: the entry of `id`, or null.
    const Kept *find(const std::string &id) const;
    void keep(const std::string &id, Kept kept);

    CallSession &session_;
    size_t keptAnswers_;
    std::mutex callMutex_; // one call at a time
    mutable std::mutex keptMutex_;
    std::map<std::string, Kept> kept_;
    std::deque<std::string> keptOrder_;
};

} // namespace tivtool
