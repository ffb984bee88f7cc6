#include "core/call_guard.h"

namespace tiv02000 {

std::recursive_mutex &callMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

} // namespace tiv02000
