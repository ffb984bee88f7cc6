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
# left as they are); each crash, timeout or memory blow-up is written to
# build-fuzz/crashes/<target>/ and the run goes on. Prints the executions each
# target reached and what it found; exits 1 when anything was found.
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
    # Fork mode with crashes ignored: a run goes on after a finding and keeps
    # every crashing input. ASan's leak check is left to the sanitizer test
    # build (the printer and the driver keep process-wide state until exit);
    # UBSan aborts, so that libFuzzer sees the report and saves the input.
    set +e
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:abort_on_error=1 \
        "$build/bin/fuzz_$t" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
        -artifact_prefix="$build/crashes/$t/" "$build/corpus/$t" "$root/fuzz/corpus/$t" \
        >"$log" 2>&1
    set -e
    # The last status line of fork mode: "#EXECS: cov: N ft: N corp: N exec/s N
    # oom/timeout/crash: a/b/c time: Ns ...".
    last=$(grep -E '^#[0-9]+: cov:' "$log" | tail -1 || true)
    execs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
    rate=$(grep -oE 'exec/s [0-9]+' <<<"$last" | grep -oE '[0-9]+$' || true)
    cov=$(grep -oE 'cov: [0-9]+' <<<"$last" || true)
    found=$(ls "$build/crashes/$t" | wc -l)
    echo "   executions: ${execs:-?} (${rate:-?}/s), ${cov:-cov: ?}," \
        "corpus: $(ls "$build/corpus/$t" | wc -l) inputs, saved findings: $found"
    rc=0
    [ "$found" -eq 0 ] || rc=1
    if [ $rc -ne 0 ]; then
        status=1
        # Fork mode keeps no reports: each saved input is run once more to
        # show the first line of its report, the same faults counted together.
        echo "   findings in $build/crashes/$t/:"
        for f in "$build/crashes/$t"/*; do
            report=$(ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=abort_on_error=1 \
                timeout 60 "$build/bin/fuzz_$t" "$f" 2>&1 || true)
            line=$(grep -a -m1 -E 'runtime error|ERROR: AddressSanitizer|^data packet:|ALARM|out-of-memory' \
                <<<"$report" || true)
            echo "${line:-(no report when run alone: $(basename "$f"))}"
        done | sed "s#$root/##" | sort | uniq -c | sed 's/^/   /'
    fi
done
exit $status
