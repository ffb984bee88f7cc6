#pragma once
// Layout of the printer's counters reply: six-digit fields at fixed
// positions (1-based).
#include <cstddef>

namespace tiv02000::counters {

constexpr size_t kReplySize = 84;
constexpr size_t kCooAt = 1, kCrzAt = 7, kCroAt = 13, kGnfAt = 19, kCdcAt = 25, kCfcAt = 31,
                 kGrgAt = 37, kCcfAt = 43, kXReadingsAt = 49;
constexpr size_t kWidth = 6;

// The ESC/ECF data reply: a counter is 9 characters from position 3.
constexpr size_t kEscDataSize = 1024;
constexpr size_t kEscCounterAt = 3, kEscCounterWidth = 9;

} // namespace tiv02000::counters
