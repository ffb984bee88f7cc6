#include "tivplatform/progress.h"

#include "../common/terminal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

TEST(ProgressTest, ATerminalSeesOneLineRewrittenAndClearedAtTheEnd) {
    RawTerminal terminal;
    ASSERT_TRUE(terminal.open());
    const int slave = terminal.slave;
    {
        tiv::Progress progress("GeraCatGenerica", "day", 3, slave);
        EXPECT_TRUE(progress.shown());
        progress.step(1, "01/12/2026");
        progress.step(2, "02/12/2026");
        progress.step(3, "");
    }
    EXPECT_EQ(terminal.drain(), "\rGeraCatGenerica: day 1 of 3: 01/12/2026\033[K"
                                "\rGeraCatGenerica: day 2 of 3: 02/12/2026\033[K"
                                "\rGeraCatGenerica: day 3 of 3\033[K"
                                "\r\033[K");

    // No steps: nothing shown, nothing to clear.
    { tiv::Progress none("GeraCatGenerica", "day", 0, slave); }
    EXPECT_EQ(terminal.drain(), "");
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
    char byte = 0;
    EXPECT_EQ(::read(ends[0], &byte, 1), 0) << "the pipe got a byte";
    EXPECT_EQ(::lseek(file, 0, SEEK_END), 0);
    ::close(ends[0]);
    ::close(file);
    ::unlink(path);
}

} // namespace
