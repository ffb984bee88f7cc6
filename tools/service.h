#pragma once
// The calls of `tiv serve`, whatever carries them: one at a time (the printer
// is one serial device), each run to completion even when its client has gone,
// and its answer kept under the client's id for a later status request.
//
// An id names one request. The same id sent again with the same request gets
// the kept answer and the printer is not called again: a client that lost an
// answer may repeat its request and never sell twice. The same id with another
// request is refused.
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "call_session.h"

namespace tivtool {

class Service {
  public:
    // How many answers are kept, and how many bytes of them at most; the oldest go first.
    static constexpr size_t kKeptAnswers = 1000;
    static constexpr size_t kKeptBytes = 64u << 20;
    // The longest id accepted.
    static constexpr size_t kMaxIdLength = 128;
    // Calls waiting for the printer beyond the one it is making; more are refused as busy,
    // so that a transport's threads stay free for status requests.
    static constexpr size_t kMaxWaiting = 8;

    explicit Service(CallSession &session, size_t keptAnswers = kKeptAnswers,
                     size_t keptBytes = kKeptBytes)
        : session_(session), keptAnswers_(keptAnswers), keptBytes_(keptBytes) {}

    // A request of the C interface's form, with an optional "id" (a text of
    // at most kMaxIdLength characters) echoed in the answer. Errors of its own:
    // "busy" (too many calls waiting), "stopping" (the service is ending; the
    // call was not made).
    Json call(const Json &request);
    // {"id", "status": "running"} or {"id", "status": "done", "answer"}; an
    // error of kind "unknown" for an id not (or no longer) kept.
    Json status(const std::string &id) const;
    // No call begins after this; the one under way ends as it would.
    void stop() { stopping_ = true; }

    static constexpr size_t kMaxLogLines = 10000;
    // The last `lines` (at most kMaxLogLines) lines of the driver's debug log of this month, in
    // UTF-8.
    static Json logTail(size_t lines);

    const CallSession &session() const { return session_; }

    // What the kept requests and answers occupy, as counted against the cap.
    size_t keptBytes() const;

    // A kept text. A large one has pages of its own, given back to the system when it is
    // forgotten: on the heap its freed space would stay with the process, and the cap would
    // count less than the process holds.
    class Text {
      public:
        static constexpr size_t kOwnPages = 16 << 10; // from this size on
        Text() = default;
        explicit Text(std::string_view text);
        Text(Text &&other) noexcept { *this = std::move(other); }
        Text &operator=(Text &&other) noexcept;
        Text(const Text &) = delete;
        Text &operator=(const Text &) = delete;
        ~Text() { release(); }
        std::string_view view() const {
            return pages_ ? std::string_view(pages_, size_) : std::string_view(small_);
        }
        bool empty() const { return view().empty(); }
        // The bytes it occupies: whole pages, or the heap block.
        size_t footprint() const { return pages_ ? mapped_ : small_.capacity(); }

      private:
        void release();
        std::string small_;
        char *pages_ = nullptr;
        size_t size_ = 0, mapped_ = 0;
    };

  private:
    // Kept as text: a parsed answer takes many times its size.
    struct Kept {
        Text request;
        Text answer;        // empty while running
        size_t waiting = 0; // repeats waiting for the answer: never forgotten meanwhile
        bool done() const { return !answer.empty(); }
    };
    // An entry's bytes besides its texts: the map's node, the id twice, the order's slot.
    static size_t overhead(const std::string &id) { return sizeof(Kept) + 2 * id.size() + 96; }
    // Under keptMutex_.
    Kept *find(const std::string &id);
    const Kept *find(const std::string &id) const;
    void forgetOldest();

    CallSession &session_;
    size_t keptAnswers_, keptBytes_;
    std::atomic<bool> stopping_{false};
    std::atomic<size_t> waiting_{0};
    std::mutex callMutex_; // one call at a time
    mutable std::mutex keptMutex_;
    std::map<std::string, Kept> kept_;
    std::deque<std::string> keptOrder_;
    size_t keptSize_ = 0; // bytes of the kept answers
};

} // namespace tivtool
