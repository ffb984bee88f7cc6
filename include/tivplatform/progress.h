#pragma once
// Where a long piece of work is, for a person watching a terminal: one line on
// the terminal, rewritten at each step ("GeraCatGenerica: day 3 of 10: 05122026")
// and cleared when the work ends. A descriptor that is no terminal (a pipe, a
// file, /dev/null) gets nothing at all, so logs and captured output never
// carry it.
#include <string>

#include "tivplatform/export.h"

namespace tiv {

class TIV_EXPORT Progress {
  public:
    // `what` names the work, `unit` its steps ("day"); `total` is the number of
    // steps (none: nothing is shown). `fd` is where the line goes: standard
    // error unless a test says otherwise.
    Progress(std::string what, std::string unit, long total, int fd = 2);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // Step `n` (from 1) is starting; `detail` says which, e.g. the day.
    void step(long n, const std::string &detail);
    // Clears the line now (the destructor does it otherwise).
    void done();

    // Whether anything is shown: a terminal and at least one step.
    bool shown() const { return shown_; }

  private:
    std::string what_, unit_;
    long total_;
    int fd_;
    bool shown_;
    bool written_ = false;
};

} // namespace tiv
