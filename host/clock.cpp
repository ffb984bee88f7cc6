// Clock difference and the retry pause.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "tivhost/host.h"

namespace tivhost {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Two digits of hours is all the text holds; a larger gap reads as the
// largest one, so it still counts as far out of tolerance.
constexpr int64_t kMaxSeconds = 99 * 3600 + 59 * 60 + 59;

std::atomic<int> delayUnitMs{1000};

// Before 30 December 1899 a serial's fraction still counts forward from
// midnight (-1.25 is 29 December at 06:00); on a straight line of days that
// moment is -0.75.
double linear(TDateTime dt) {
    if (dt >= 0) return dt;
    double whole = std::trunc(dt);
    return whole + (whole - dt);
}

} // namespace

std::string SubtDataHoraQel(TDateTime a, TDateTime b) {
    if (!std::isfinite(a) || !std::isfinite(b))
        throw tiv::ConversionError("SubtDataHoraQel: the date-times " + std::to_string(a) +
                                   " and " + std::to_string(b) + " cannot be subtracted");
    double days = linear(a) - linear(b);
    bool earlier = days < 0;
    double magnitude = std::fabs(days);
    int64_t seconds = kMaxSeconds;
    if (magnitude * kSecondsPerDay < static_cast<double>(kMaxSeconds + 1)) {
        // Whole milliseconds first, so that 15 minutes stored as a binary
        // fraction is not read as 14:59.
        int64_t ms = std::llround(magnitude * kSecondsPerDay * 1000.0);
        seconds = std::min(ms / 1000, kMaxSeconds);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%s%02d:%02d:%02d", earlier && seconds > 0 ? "-" : "",
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return text;
}

void Delay(uint8_t n) {
    int unit = delayUnitMs.load();
    if (n == 0 || unit <= 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(n) * unit));
}

void setDelayUnitMs(int ms) {
    delayUnitMs.store(ms < 0 ? 0 : ms);
}

} // namespace tivhost
