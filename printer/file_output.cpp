#include "file_output.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"

namespace ecfsim {

void writeFileAtomically(const std::string &path, std::string_view bytes) {
    if (path.empty()) throw Refusal{Code::BadParameter};
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) throw Refusal{Code::FileFailed};
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    // The file is readable as any file the user writes (mkstemp makes it private).
    ok = ok && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw Refusal{Code::FileFailed};
    }
}

} // namespace ecfsim
