#!/usr/bin/env bash
# The longer fault sweep of the day's procedures that move money, make a fiscal record or
# print a voucher: the suite's runs (one fault of each kind on every printer call, both
# families, the host's repeats) and, for each, a second fault (no answer) on every later call
# of the first attempt, where the printer may be unable to tell what it did. Prints the figures
# of each case and their sum. A few minutes.
# Usage: scripts/day_sweep.sh [build folder]
set -uo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build}/bin
out=$(TIV_DAY_SWEEP_PAIRS=1 "$bin/module_tests" --gtest_filter='Day/DaySweepTest.*' 2>&1)
status=$?
grep -a '^\[ sweep \]' <<<"$out"
grep -a -E '^\[  FAILED  \].*Day/' <<<"$out" | sort -u
awk '/^\[ sweep \]/ {
       runs += $5; twice += $7; stuck += $9; fs += $11; ff += $14; unknown += $17; copy += $20
     }
     END { printf "total: %d runs, %d twice, %d stuck, %d false successes, %d false failures, %d told unknown, %d told the copy is missing\n", runs, twice, stuck, fs, ff, unknown, copy }' <<<"$out"
exit $status
