#include "service.h"

#include <algorithm>

#include "debug_log_watch.h"

namespace tivtool {

namespace {

Json withId(Json answer, const std::string &id) {
    if (!id.empty()) answer["id"] = id;
    return answer;
}

} // namespace

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
        keptSize_ -= e.request.size() + e.answer.size();
        kept_.erase(*old);
        keptOrder_.erase(old);
    }
}

namespace {

std::string text(const Json &j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A receipt that stopped part-way: its repeat goes on where it stopped instead of answering the
// failure again (the session keeps how far it went).
bool resumable(const std::string &answer) {
    const Json kept = Json::parse(answer);
    return kept.contains("error") && kept["error"].value("kind", std::string()) == "receipt";
}

Json repeated(const std::string &answer) {
    Json again = Json::parse(answer);
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
            if (kept->request != requestText)
                return withId(CallSession::error("request", "the id \"" + id +
                                                                "\" was given to another request"),
                              id);
            if (kept->done() && resumable(kept->answer)) {
                keptSize_ -= kept->answer.size();
                kept->answer.clear(); // running again
            } else if (kept->done()) {
                return repeated(kept->answer);
            } else {
                ++kept->waiting;
            } // the same request sent twice at once: wait for the first's answer
        } else {
            kept_[id] = Kept{requestText, std::string(), 0};
            keptOrder_.push_back(id);
            keptSize_ += requestText.size();
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
            keptSize_ -= kept->request.size();
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
            return repeated(kept->answer); // never call again
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
            kept->answer = text(answer);
            keptSize_ += kept->answer.size();
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
    return Json{{"id", id}, {"status", "done"}, {"answer", Json::parse(kept->answer)}};
}

Json Service::logTail(size_t lines) {
    return Json{{"file", DebugLogWatch::currentPath()},
                {"lines", DebugLogWatch::lastLines(std::min(lines, kMaxLogLines))}};
}

} // namespace tivtool
