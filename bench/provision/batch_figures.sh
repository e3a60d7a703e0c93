#!/usr/bin/env bash
# The production line's own cost per unit: a plan of UNITS rows applied by `r7730ctl batch` to a
# simulated bench, each attempt's time (from its claim to its record) less the simulator's
# reboot silence, and the time from one unit's start to the next's less everything the bench
# itself takes (the reboot, the taking away, the empty bench before the next unit); beside the
# same change made by `r7730ctl set wan` on one unit (process start included) less the same
# silence. Asserts nothing.
#   bash bench/provision/batch_figures.sh BUILD-DIR [UNITS]
set -euo pipefail
bin=$(cd "${1:?the build folder}" && pwd)
units=${2:-20}
reboot_ms=300
take_away_ms=1500
next_unit_ms=100
scratch=$(mktemp -d)
simulator_pid=""
cleanup() {
  [[ -z "$simulator_pid" ]] || kill "$simulator_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
cd "$scratch"

{
  echo "label,ip"
  for n in $(seq 1 "$units"); do echo "U-$n,10.9.$((n / 250)).$((n % 250 + 1))"; done
} >plan.csv
"$bin/simulator/Simulator" --no-terminal --quiet --link bench --units "$units" --reboot-ms "$reboot_ms" \
  --take-away-ms "$take_away_ms" --next-unit-ms "$next_unit_ms" >/dev/null 2>&1 &
simulator_pid=$!
for _ in $(seq 100); do [[ -e bench ]] && break; sleep 0.05; done
"$bin/cli/r7730ctl" --timeout 400 batch plan.csv -p ./bench >/dev/null
"$bin/cli/r7730ctl" records --json >records.json
kill "$simulator_pid"; wait "$simulator_pid" 2>/dev/null || true

"$bin/simulator/Simulator" --no-terminal --quiet --link single --reboot-ms "$reboot_ms" >/dev/null 2>&1 &
simulator_pid=$!
for _ in $(seq 100); do [[ -e single ]] && break; sleep 0.05; done
anchor=()
for n in 1 2 3 4 5; do
  start=$(date +%s.%N)
  "$bin/cli/r7730ctl" --timeout 400 -p ./single set wan --ip "10.8.0.$n" >/dev/null
  anchor+=("$(echo "$(date +%s.%N) - $start" | bc)")
done

python3 - "$reboot_ms" "$take_away_ms" "$next_unit_ms" "${anchor[@]}" <<'PY'
import json, statistics, sys
from datetime import datetime
reboot, take_away, next_unit = (int(ms) / 1000 for ms in sys.argv[1:4])
anchor = sorted(float(a) - reboot for a in sys.argv[4:])
records = json.load(open("records.json"))
costs = []
for r in records:
    seconds = (datetime.fromisoformat(r["ended"]) - datetime.fromisoformat(r["started"])).total_seconds()
    saves = sum(1 for step in r["steps"] if step["step"] in ("wan", "tcp", "serial", "ap"))
    costs.append(seconds - saves * reboot)
starts = sorted(datetime.fromisoformat(r["started"]) for r in records)
cycles = [(b - a).total_seconds() - (reboot + take_away + next_unit) for a, b in zip(starts, starts[1:])]
passed = sum(1 for r in records if r["result"] == "PASS")
print(f"Production line, {len(records)} units on one simulated bench ({passed} PASS), reboot silence {reboot:.1f} s a save:")
print(f"  time per unit less reboots   median {statistics.median(costs):.3f} s, max {max(costs):.3f} s (target <= 0.5 s)"
      f"   | r7730ctl set wan, one unit: median {statistics.median(anchor):.3f} s")
if cycles:
    print(f"  unit to unit less the bench  median {statistics.median(cycles):.3f} s, max {max(cycles):.3f} s (target <= 0.1 s)")
PY
