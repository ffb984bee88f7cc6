#include "tivplatform/progress.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tiv {

namespace {

// Best effort: a terminal that went away must not fail the work it reports on.
void writeAll(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// Back to the start of the line, and the rest of it erased.
constexpr const char *kReturn = "\r";
constexpr const char *kEraseToEnd = "\033[K";

} // namespace

Progress::Progress(std::string what, std::string unit, long total, int fd)
    : what_(std::move(what)), unit_(std::move(unit)), total_(total), fd_(fd),
      shown_(total > 0 && ::isatty(fd) == 1) {}

Progress::~Progress() {
    done();
}

void Progress::step(long n, const std::string &detail) {
    if (!shown_) return;
    std::string line =
        kReturn + what_ + ": " + unit_ + " " + std::to_string(n) + " of " + std::to_string(total_);
    if (!detail.empty()) line += ": " + detail;
    writeAll(fd_, line + kEraseToEnd);
    written_ = true;
}

void Progress::done() {
    if (!written_) return;
    writeAll(fd_, std::string(kReturn) + kEraseToEnd);
    written_ = false;
}

} // namespace tiv
