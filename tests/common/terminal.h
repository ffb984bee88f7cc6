#pragma once
// A pseudo-terminal for tests of what a person at a terminal sees: its far end
// reads back the bytes exactly as written (raw mode, no line discipline).
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

struct RawTerminal {
    int master = -1; // where the test reads
    int slave = -1;  // what the program under test writes to

    // False when the system has no pseudo-terminal to give.
    bool open() {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return false;
        termios raw{};
        if (::tcgetattr(slave, &raw) != 0) return false;
        ::cfmakeraw(&raw);
        return ::tcsetattr(slave, TCSANOW, &raw) == 0;
    }
    ~RawTerminal() {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }

    // Everything received so far, waiting briefly for it to arrive.
    std::string drain() const {
        std::string got;
        char buf[512];
        pollfd p{master, POLLIN, 0};
        while (::poll(&p, 1, 200) > 0) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
};
