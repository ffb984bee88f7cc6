// Whole-file reads and atomic replacement for the files being signed.
#include "signed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "raw_rsa.h"
#include "sign/sign_bema.h"

namespace signbema {

namespace {

constexpr uint64_t kMaxFileSize = uint64_t{256} << 20;

[[noreturn]] void fail(const std::string &what, const std::string &path) {
    throw SignError(kSignFileError, what + " " + path + ": " + std::strerror(errno));
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

std::string readWhole(const std::string &path) {
    Fd in{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (in.fd < 0) fail("cannot open", path);
    struct stat st {};
    if (::fstat(in.fd, &st) != 0) fail("cannot examine", path);
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxFileSize) {
        errno = S_ISREG(st.st_mode) ? EFBIG : EINVAL;
        fail("not a regular file of at most 256 MiB:", path);
    }
    std::string data;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(in.fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            fail("cannot read", path);
        }
        if (got == 0) break;
        data.append(chunk, static_cast<size_t>(got));
        if (data.size() > kMaxFileSize) {
            errno = EFBIG;
            fail("grew past 256 MiB:", path);
        }
    }
    return data;
}

void replaceWhole(const std::string &path, const std::string &contents) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) fail("cannot examine", path);
    std::string temp = path + ".eadXXXXXX";
    Fd out{::mkstemp(temp.data())};
    if (out.fd < 0) fail("cannot create a temporary file beside", path);
    try {
        size_t done = 0;
        while (done < contents.size()) {
            const ssize_t put = ::write(out.fd, contents.data() + done, contents.size() - done);
            if (put < 0) {
                if (errno == EINTR) continue;
                fail("cannot write", temp);
            }
            done += static_cast<size_t>(put);
        }
        if (::fchmod(out.fd, st.st_mode & 07777) != 0) fail("cannot set permissions of", temp);
        if (::fsync(out.fd) != 0) fail("cannot flush", temp);
        if (::rename(temp.c_str(), path.c_str()) != 0) fail("cannot replace", path);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

} // namespace signbema
