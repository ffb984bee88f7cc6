#pragma once
// Every exported procedure runs under this guard, so a host that calls the module from two
// threads gets one call after the other: the data module, the module variables and the
// printer behind them are one state, made for one caller. The lock is recursive because a
// procedure may call another one.
#include <mutex>

namespace tiv02000 {

std::recursive_mutex &callMutex();

class CallGuard {
  public:
    CallGuard() : lock_(callMutex()) {}

  private:
    std::lock_guard<std::recursive_mutex> lock_;
};

} // namespace tiv02000
