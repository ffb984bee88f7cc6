#include "tivplatform/progress.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace {

// Everything the far end of a descriptor received, waiting briefly for it to arrive.
std::string drain(int fd) {
    std::string got;
    char buf[512];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 200) > 0) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

TEST(ProgressTest, ATerminalSeesOneLineRewrittenAndClearedAtTheEnd) {
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(slave, &raw), 0);
    ::cfmakeraw(&raw); // the bytes as written, no line discipline
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &raw), 0);
    {
        tiv::Progress progress("GeraCatGenerica", "day", 3, slave);
        EXPECT_TRUE(progress.shown());
        progress.step(1, "01/12/2026");
        progress.step(2, "02/12/2026");
        progress.step(3, "");
    }
    EXPECT_EQ(drain(master), "\rGeraCatGenerica: day 1 of 3: 01/12/2026\033[K"
                             "\rGeraCatGenerica: day 2 of 3: 02/12/2026\033[K"
                             "\rGeraCatGenerica: day 3 of 3\033[K"
                             "\r\033[K");

    // No steps: nothing shown, nothing to clear.
    { tiv::Progress none("GeraCatGenerica", "day", 0, slave); }
    EXPECT_EQ(drain(master), "");
    ::close(slave);
    ::close(master);
}

TEST(ProgressTest, APipeOrAFileGetsNothing) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    char path[] = "/tmp/tivprogress-XXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    for (int fd : {ends[1], file}) {
        tiv::Progress progress("GeraCatGenerica", "day", 2, fd);
        EXPECT_FALSE(progress.shown());
        progress.step(1, "01/12/2026");
        progress.step(2, "02/12/2026");
        progress.done();
    }
    ::close(ends[1]);
    EXPECT_EQ(drain(ends[0]), "");
    EXPECT_EQ(::lseek(file, 0, SEEK_END), 0);
    ::close(ends[0]);
    ::close(file);
    ::unlink(path);
}

} // namespace
