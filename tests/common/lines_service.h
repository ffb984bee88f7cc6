#pragma once
// `tiv serve --lines` as a child process: one request written per line, one
// answer read per line.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

class LinesService {
  public:
    LinesService() = default;
    LinesService(const LinesService &) = delete;
    LinesService &operator=(const LinesService &) = delete;
    ~LinesService() {
        finish();
        std::free(line_);
    }

    // Starts `tiv serve --lines`; false when it cannot.
    bool start(const char *tiv) {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return false;
        pid_ = ::fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::close(in[1]);
            ::close(out[0]);
            ::execl(tiv, tiv, "serve", "--lines", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        to_ = ::fdopen(in[1], "w");
        from_ = ::fdopen(out[0], "r");
        return to_ && from_;
    }
    pid_t pid() const { return pid_; }

    // False when the service is gone.
    bool send(const std::string &request) {
        return std::fprintf(to_, "%s\n", request.c_str()) >= 0 && std::fflush(to_) == 0;
    }
    // The next answer line without its newline; empty when the service is gone.
    std::string answer() {
        const ssize_t n = ::getline(&line_, &size_, from_);
        return n > 0 ? std::string(line_, static_cast<size_t>(n) - (line_[n - 1] == '\n')) : "";
    }

    // Ends its input and waits for it: its exit status, -1 when it did not exit normally.
    int finish() {
        if (to_) std::fclose(to_);
        if (from_) std::fclose(from_);
        to_ = from_ = nullptr;
        if (pid_ <= 0) return -1;
        int status = 0;
        const bool waited = ::waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    FILE *to_ = nullptr, *from_ = nullptr;
    char *line_ = nullptr;
    size_t size_ = 0;
};
