#include "service.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "debug_log_watch.h"

namespace tivtool {

namespace {

Json withId(Json answer, const std::string &id) {
    if (!id.empty()) answer["id"] = id;
    return answer;
}

} // namespace

Service::Text::Text(std::string_view text) {
    if (text.size() < kOwnPages) {
        small_ = std::string(text);
        small_.shrink_to_fit();
        return;
    }
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    mapped_ = (text.size() + page - 1) / page * page;
    void *at = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) throw std::bad_alloc();
    pages_ = static_cast<char *>(at);
    size_ = text.size();
    std::memcpy(pages_, text.data(), size_);
}

Service::Text &Service::Text::operator=(Text &&other) noexcept {
    if (this == &other) return *this;
    release();
    small_ = std::move(other.small_);
    pages_ = std::exchange(other.pages_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    return *this;
}

void Service::Text::release() {
    if (pages_) munmap(pages_, mapped_);
    pages_ = nullptr;
    size_ = mapped_ = 0;
}

size_t Service::keptBytes() const {
    const std::lock_guard lock(keptMutex_);
    return keptSize_;
}

Service::Kept *Service::find(const std::string &id) {
    const auto it = kept_.find(id);
    return it == kept_.end() ? nullptr : &it->second;
}

const Service::Kept *Service::find(const std::string &id) const {
    const auto it = kept_.find(id);
    return it == kept_.end() ? nullptr : &it->second;
}

void Service::forgetOldest() {
    // A running call, or one whose repeat waits for it, is never forgotten.
    while (keptOrder_.size() > keptAnswers_ || keptSize_ > keptBytes_) {
        const auto old = std::find_if(keptOrder_.begin(), keptOrder_.end(), [&](const auto &k) {
            const Kept &e = kept_.at(k);
            return e.done() && e.waiting == 0;
        });
        if (old == keptOrder_.end()) return;
        const Kept &e = kept_.at(*old);
        keptSize_ -= e.request.footprint() + e.answer.footprint() + overhead(*old);
        kept_.erase(*old);
        keptOrder_.erase(old);
    }
}

namespace {

std::string text(const Json &j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json parsed(std::string_view text) {
    return Json::parse(text.begin(), text.end());
}

// A receipt that stopped part-way: its repeat goes on where it stopped instead of answering the
// failure again (the session keeps how far it went).
bool resumable(std::string_view answer) {
    const Json kept = parsed(answer);
    return kept.contains("error") && kept["error"].value("kind", std::string()) == "receipt";
}

Json repeated(std::string_view answer) {
    Json again = parsed(answer);
    again["repeated"] = true;
    return again;
}

} // namespace

Json Service::call(const Json &request) {
    std::string id, requestText;
    if (request.is_object() && request.contains("id")) {
        const Json &given = request["id"];
        // Printable characters only: an id travels in paths and log lines.
        const auto printable = [](const std::string &s) {
            return std::all_of(s.begin(), s.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
            });
        };
        if (!given.is_string() || given.get<std::string>().empty() ||
            given.get<std::string>().size() > kMaxIdLength || !printable(given.get<std::string>()))
            return CallSession::error("request", "\"id\" is a text of 1 to " +
                                                     std::to_string(kMaxIdLength) +
                                                     " printable characters");
        id = given.get<std::string>();
        requestText = text(request);
        const std::lock_guard lock(keptMutex_);
        if (Kept *kept = find(id)) {
            if (kept->request.view() != requestText)
                return withId(CallSession::error("request", "the id \"" + id +
                                                                "\" was given to another request"),
                              id);
            if (kept->done() && resumable(kept->answer.view())) {
                keptSize_ -= kept->answer.footprint();
                kept->answer = Text(); // running again
            } else if (kept->done()) {
                return repeated(kept->answer.view());
            } else {
                ++kept->waiting; // the same request sent twice at once: wait for the first's answer
            }
        } else {
            Kept &made = kept_[id];
            made.request = Text(requestText);
            keptOrder_.push_back(id);
            keptSize_ += made.request.footprint() + overhead(id);
            forgetOldest();
        }
    }
    // Forgets a call that was never made, or lets a waiting repeat go.
    const auto release = [&](bool made) {
        if (id.empty()) return;
        const std::lock_guard lock(keptMutex_);
        Kept *kept = find(id);
        if (!kept) return;
        if (kept->waiting > 0) {
            --kept->waiting;
        } else if (!made && !kept->done()) {
            keptSize_ -= kept->request.footprint() + overhead(id);
            kept_.erase(id);
            keptOrder_.erase(std::find(keptOrder_.begin(), keptOrder_.end(), id));
        }
    };

    if (waiting_ >= kMaxWaiting) {
        release(false);
        return withId(CallSession::error("busy", "the printer has " + std::to_string(kMaxWaiting) +
                                                     " calls waiting; try again later"),
                      id);
    }
    ++waiting_;
    const std::lock_guard one(callMutex_);
    --waiting_;
    if (!id.empty()) {
        const std::lock_guard lock(keptMutex_);
        Kept *kept = find(id);
        if (kept && kept->done()) {
            if (kept->waiting > 0) --kept->waiting;
            return repeated(kept->answer.view()); // never call again
        }
    }
    if (stopping_) {
        release(false);
        return withId(
            CallSession::error("stopping", "the service is stopping: the call was not made"), id);
    }
    Json answer = withId(session_.invoke(request), id);
    if (!id.empty()) {
        const std::lock_guard lock(keptMutex_);
        if (Kept *kept = find(id)) {
            kept->answer = Text(text(answer));
            keptSize_ += kept->answer.footprint();
            forgetOldest();
        }
    }
    return answer;
}

Json Service::status(const std::string &id) const {
    const std::lock_guard lock(keptMutex_);
    const Kept *kept = find(id);
    if (!kept)
        return withId(CallSession::error("unknown", "no call with the id \"" + id + "\" is kept"),
                      id);
    if (!kept->done()) return Json{{"id", id}, {"status", "running"}};
    return Json{{"id", id}, {"status", "done"}, {"answer", parsed(kept->answer.view())}};
}

Json Service::logTail(size_t lines) {
    return Json{{"file", DebugLogWatch::currentPath()},
                {"lines", DebugLogWatch::lastLines(std::min(lines, kMaxLogLines))}};
}

} // namespace tivtool
