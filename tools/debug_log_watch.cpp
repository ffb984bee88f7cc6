#include "debug_log_watch.h"

#include <algorithm>
#include <filesystem>

#include "tivplatform/cp1252.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace tivtool {

namespace {

uintmax_t sizeOf(const std::string &path) {
    std::error_code ec;
    uintmax_t n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

// A log that is missing, not a regular file or grew by more than the read
// limit during one call shows no lines rather than stopping the script.
std::string readFrom(const std::string &path, uintmax_t offset) {
    try {
        return tiv::readFile(path, offset);
    } catch (const tiv::Error &) {
        return {};
    }
}

void appendLines(Json &out, const std::string &text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(tiv::cp1252ToUtf8(line));
        start = end + 1;
    }
}

} // namespace

std::string DebugLogWatch::currentPath() {
    return tiv::programFolder() + "/impdebug" + tiv::formatDateTime("mmyy", tiv::now()) + ".txt";
}

Json DebugLogWatch::lastLines(size_t count) {
    // Enough of the file's end for the lines asked, without reading a whole month.
    constexpr uintmax_t kTailBytes = 1 << 20;
    const std::string path = currentPath();
    const uintmax_t size = sizeOf(path);
    const uintmax_t from = size > kTailBytes ? size - kTailBytes : 0;
    std::string text = readFrom(path, from);
    // Read from the middle of the file, the first line is a piece of one.
    if (from) text.erase(0, std::min(text.find('\n'), text.size() - 1) + 1);
    Json all = Json::array();
    appendLines(all, text);
    Json last = Json::array();
    for (size_t i = all.size() > count ? all.size() - count : 0; i < all.size(); ++i)
        last.push_back(std::move(all[i]));
    return last;
}

void DebugLogWatch::start() {
    path_ = currentPath();
    size_ = sizeOf(path_);
}

Json DebugLogWatch::newLines() const {
    Json out = Json::array();
    const uintmax_t size = sizeOf(path_);
    // A file that shrank was replaced: all of it is new.
    appendLines(out, readFrom(path_, size >= size_ ? size_ : 0));
    const std::string now = currentPath();
    if (now != path_) appendLines(out, readFrom(now, 0));
    return out;
}

} // namespace tivtool
