#include "service.h"

#include <algorithm>
#include <filesystem>

#include "debug_log_watch.h"
#include "tivplatform/cp1252.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace tivtool {

namespace {

Json withId(Json answer, const std::string &id) {
    if (!id.empty()) answer["id"] = id;
    return answer;
}

} // namespace

const Service::Kept *Service::find(const std::string &id) const {
    const auto it = kept_.find(id);
    return it == kept_.end() ? nullptr : &it->second;
}

void Service::keep(const std::string &id, Kept kept) {
    if (!kept_.count(id)) {
        keptOrder_.push_back(id);
        // Forget the oldest finished answers; a running call is never forgotten.
        while (keptOrder_.size() > keptAnswers_) {
            const auto done =
                std::find_if(keptOrder_.begin(), keptOrder_.end(),
                             [&](const std::string &k) { return !kept_.at(k).answer.is_null(); });
            if (done == keptOrder_.end()) break;
            kept_.erase(*done);
            keptOrder_.erase(done);
        }
    }
    kept_[id] = std::move(kept);
}

Json Service::call(const Json &request) {
    std::string id;
    if (request.is_object() && request.contains("id")) {
        const Json &given = request["id"];
        if (!given.is_string() || given.get<std::string>().empty() ||
            given.get<std::string>().size() > kMaxIdLength)
            return CallSession::error("request", "\"id\" is a text of 1 to " +
                                                     std::to_string(kMaxIdLength) + " characters");
        id = given.get<std::string>();
        const std::lock_guard lock(keptMutex_);
        if (const Kept *kept = find(id)) {
            if (kept->request != request)
                return withId(CallSession::error("request", "the id \"" + id +
                                                                "\" was given to another request"),
                              id);
        } else {
            keep(id, Kept{request, nullptr});
        }
    }

    const std::lock_guard one(callMutex_);
    if (!id.empty()) {
        // Answered already (or by the same request sent twice at once): never call again.
        const std::lock_guard lock(keptMutex_);
        const Kept *kept = find(id);
        if (kept && !kept->answer.is_null()) {
            Json again = kept->answer;
            again["repeated"] = true;
            return again;
        }
    }
    Json answer = withId(session_.invoke(request), id);
    if (!id.empty()) {
        const std::lock_guard lock(keptMutex_);
        keep(id, Kept{request, answer});
    }
    return answer;
}

Json Service::status(const std::string &id) const {
    const std::lock_guard lock(keptMutex_);
    const Kept *kept = find(id);
    if (!kept)
        return withId(CallSession::error("unknown", "no call with the id \"" + id + "\" is kept"),
                      id);
    if (kept->answer.is_null()) return Json{{"id", id}, {"status", "running"}};
    return Json{{"id", id}, {"status", "done"}, {"answer", kept->answer}};
}

Json Service::logTail(size_t lines) {
    lines = std::min(lines, kMaxLogLines);
    // Enough of the file's end for the lines asked, without reading a whole month.
    constexpr uintmax_t kTailBytes = 1 << 20;
    const std::string path = DebugLogWatch::currentPath();
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    std::string text;
    const uintmax_t from = !ec && size > kTailBytes ? size - kTailBytes : 0;
    if (!ec) {
        try {
            text = tiv::readFile(path, from);
        } catch (const tiv::Error &) {
            text.clear();
        }
    }
    std::deque<std::string> last;
    // Read from the middle of the file, the first line is a piece of one.
    size_t start = from ? std::min(text.find('\n'), text.size()) + 1 : 0;
    while (start < text.size() && lines > 0) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        last.push_back(tiv::cp1252ToUtf8(line));
        if (last.size() > lines) last.pop_front();
        start = end + 1;
    }
    return Json{{"file", path},
                {"lines", Json(std::vector<std::string>(last.begin(), last.end()))}};
}

} // namespace tivtool
