#!/usr/bin/env bash
# The longer kill sweep: `tiv demo` (the driver and the virtual printer together) killed at
# every printer call in each phase (ECFSIM_KILL_AT, docs/printer.md), then the printer's
# folder reopened and checked: integrity_check ok, the paper roll has the state's lines, its
# documents carry COO 1..COO and CCF 1..CCF, its items and surcharges add up to the GT, and
# every document but an open one is printed whole. One to two minutes.
# Usage: scripts/kill_sweep_demo.sh [build folder]
set -uo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build}/bin
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
runs=0
failures=0
for phase in before commit reply; do
  for n in $(seq 1 10000); do
    dir=$root/run
    rm -rf "$dir"
    # The shell's own word on the killed child goes with the child's output.
    status=$({
      ECFSIM_KILL_AT=$n:$phase "$bin/tiv" demo --state "$dir" >/dev/null
      echo $?
    } 2>/dev/null)
    if [ "$status" -eq 0 ]; then
      echo "$phase: the demo makes $((n - 1)) calls"
      break
    fi
    if [ "$status" -ne 137 ]; then
      echo "$n:$phase: the demo ended with $status, not killed"
      failures=$((failures + 1))
      break
    fi
    runs=$((runs + 1))
    db=$dir/ecf/ecf.sqlite
    if [ -f "$db" ]; then
      check=$(python3 -c 'import sqlite3, sys; print(sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True).execute("PRAGMA integrity_check").fetchone()[0])' "$db" 2>&1)
      if [ "$check" != ok ]; then
        echo "$n:$phase: integrity_check: $check"
        failures=$((failures + 1))
      fi
    fi
    printf '[{"ecfsim":"OpenFolder","args":["%s"]},{"ecfsim":"State"}]' "$dir/ecf" >"$root/state.json"
    "$bin/tiv" run "$root/state.json" --module "$bin/libtiv02000.so" >"$root/out.json" 2>/dev/null
    if ! python3 - "$dir/ecf" "$root/out.json" "$n:$phase" <<'PY'; then
import json, re, sys

folder, out, label = sys.argv[1:4]
state = json.load(open(out))["steps"][1]["result"]
if isinstance(state, str):
    state = json.loads(state)
roll = open(folder + "/paper.txt", encoding="cp1252").read().split("\n")[:-1]
header = re.compile(r"^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d +(CCF:(\d{6}) )?COO:(\d{6})$")
docs = []
for i, line in enumerate(roll):
    m = header.match(line)
    if m:
        title = roll[i + 1].strip() if i + 1 < len(roll) else ""
        docs.append({"coo": int(m.group(3)), "ccf": int(m.group(2) or 0), "title": title, "lines": []})
    elif docs:
        docs[-1]["lines"].append(line)
faults = []
if len(roll) != state["paperLines"]:
    faults.append("paper.txt has %d lines, the state %d" % (len(roll), state["paperLines"]))
n = state["counters"]
if [d["coo"] for d in docs] != list(range(1, n["coo"] + 1)):
    faults.append("COOs on paper %s, COO %d" % ([d["coo"] for d in docs], n["coo"]))
if [d["ccf"] for d in docs if d["ccf"]] != list(range(1, n["ccf"] + 1)):
    faults.append("CCFs on paper do not run 1..%d" % n["ccf"])
gt = 0
for i, d in enumerate(docs):
    whole = any(l.startswith("ECF:") and "FAB:" in l for l in d["lines"])
    is_open = i == len(docs) - 1 and state["docState"] != "0"
    if whole == is_open:
        faults.append("COO %d %s" % (d["coo"], "open but printed whole" if is_open else "closed but half printed"))
    if d["title"] == "CUPOM FISCAL":
        for l in d["lines"]:
            if l.startswith("    ") and " X " in l:
                gt += int(re.sub(r"\D", "", l.split()[-1]))
            elif l.startswith("acrescimo item") or l.startswith("ACRESCIMO R$"):
                gt += int(re.sub(r"\D", "", l.split("+")[-1]))
if gt != state["gt"]:
    faults.append("GT %d, paper %d" % (state["gt"], gt))
for f in faults:
    print(label + ": " + f)
sys.exit(1 if faults else 0)
PY
      failures=$((failures + 1))
    fi
  done
done
echo "$runs runs, $failures invariant failures"
[ "$failures" -eq 0 ]
