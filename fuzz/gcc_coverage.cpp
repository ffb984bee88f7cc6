// gcc instruments for libFuzzer only with -fsanitize-coverage=trace-pc (a
// call at every basic block), which clang's libFuzzer runtime no longer
// takes. Each block's address is mapped here to one of 64K eight-bit
// counters that the runtime reads as inline counters (the runtime's own
// trace-pc hook is made local to its copy of the archive, see CMakeLists.txt).
// Comparisons (-fsanitize-coverage=trace-cmp) reach the runtime directly.
#include <cstddef>
#include <cstdint>

extern "C" void __sanitizer_cov_8bit_counters_init(uint8_t *start, uint8_t *stop);
extern "C" void __sanitizer_cov_pcs_init(const uintptr_t *start, const uintptr_t *stop);

namespace {

constexpr size_t kCounters = size_t{1} << 16;
uint8_t counters[kCounters];
uintptr_t pcTable[2 * kCounters]; // (pc, flags) per counter; the pcs stand for the slots

__attribute__((constructor)) void registerCounters() {
    for (size_t i = 0; i < kCounters; ++i)
        pcTable[2 * i] = i + 1;
    __sanitizer_cov_8bit_counters_init(counters, counters + kCounters);
    __sanitizer_cov_pcs_init(pcTable, pcTable + 2 * kCounters);
}

} // namespace

extern "C" __attribute__((no_sanitize_coverage, visibility("default"))) void
__sanitizer_cov_trace_pc() {
    const auto pc = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    ++counters[(pc ^ (pc >> 16)) & (kCounters - 1)];
}

// gcc also traces floating-point comparisons, which the runtime has no use
// for.
extern "C" __attribute__((no_sanitize_coverage, visibility("default"))) void
__sanitizer_cov_trace_cmpf(float, float) {}
extern "C" __attribute__((no_sanitize_coverage, visibility("default"))) void
__sanitizer_cov_trace_cmpd(double, double) {}
