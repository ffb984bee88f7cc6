#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (folder build-fuzz, -DTIV_FUZZ=ON,
# address and undefined-behaviour sanitizers) and runs each for the given
# time, starting from its seed corpus.
#
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]
#       targets: data_packet printer driver_replies (default: all three)
#
# The compiler is g++ with block and comparison tracing, linked to clang's
# libFuzzer runtime: clang 14 cannot compile the virtual printer (it lacks
# template argument deduction for aggregates, which came with clang 17).
# TIV_FUZZ_CXX=clang++ builds with clang's -fsanitize=fuzzer instead, in
# build-fuzz-clang (for the targets clang can build).
#
# New inputs go to build-fuzz/corpus/<target>/ (the seeds in fuzz/corpus/ are
# left as they are); a crash is written as build-fuzz/crashes/<target>/crash-*
# and stops that target's run. Prints the executions each target reached.
# The build holds the shared build lock; the runs do not.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(data_packet printer driver_replies)
cxx=${TIV_FUZZ_CXX:-g++}
build="$root/build-fuzz"
[[ $cxx == *clang* ]] && build="$root/build-fuzz-clang"
lock=${TIV_BUILD_LOCK:-/work/.build.lock}
locked() { if [ -e "$lock" ]; then flock "$lock" "$@"; else "$@"; fi; }

ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
    { echo "clang's libFuzzer runtime is needed (apt-get install clang)" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
    locked cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER="$cxx" -DTIV_FUZZ=ON -DTIV_BENCH=OFF >/dev/null
fi
locked cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

status=0
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t" "$build/crashes/$t"
    log="$build/fuzz-$t.log"
    echo "== $t: $seconds s"
    # ASan's leak check is left to the sanitizer test build; a fuzz run's
    # process-wide state (the printer, the driver) lives until exit.
    set +e
    ASAN_OPTIONS=detect_leaks=0 "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=4096 -artifact_prefix="$build/crashes/$t/" -print_final_stats=1 \
        "$build/corpus/$t" "$root/fuzz/corpus/$t" >"$log" 2>&1
    rc=$?
    set -e
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
    echo "   executions: ${execs:-?} (${rate:-?}/s), ${cov:-cov: ?}, corpus: $(ls "$build/corpus/$t" | wc -l) new inputs"
    if [ $rc -ne 0 ]; then
        status=1
        echo "   FOUND (exit $rc): $(ls "$build/crashes/$t" | tr '\n' ' ')"
        grep -m1 -E 'ERROR|runtime error|deadly signal|timeout' "$log" || true
        echo "   log: $log"
    fi
done
exit $status
