#include "paper.h"

#include <fcntl.h>
#include <unistd.h>

#include "store.h"

namespace ecfsim {

PaperRoll::~PaperRoll() {
    close();
}

void PaperRoll::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

namespace {
bool writeAll(int fd, const std::string &data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}
} // namespace

void PaperRoll::open(const std::string &path, Store &store) {
    close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) throw StoreError{"cannot open " + path};
    // Count the complete lines; a line cut by a crash is dropped and written again.
    int64_t lines = 0;
    off_t end = 0, pos = 0;
    char buf[65536];
    ssize_t n;
    while ((n = ::pread(fd_, buf, sizeof buf, pos)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            if (buf[i] == '\n') ++lines, end = pos + i + 1;
        pos += n;
    }
    int64_t stored = store.paperCount();
    if (lines > stored) lines = 0, end = 0; // not this database's roll: write it anew
    if (pos != end && ::ftruncate(fd_, end) != 0) throw StoreError{"cannot truncate " + path};
    std::string tail;
    for (const auto &line : store.paperSince(lines))
        tail += line + "\n";
    if (!writeAll(fd_, tail)) throw StoreError{"cannot write " + path};
}

void PaperRoll::append(const std::vector<std::string> &lines) {
    if (fd_ < 0 || lines.empty()) return;
    std::string data;
    for (const auto &l : lines)
        data += l + "\n";
    // A failed write is repaired from the database when the roll is next opened.
    (void)writeAll(fd_, data);
}

} // namespace ecfsim
