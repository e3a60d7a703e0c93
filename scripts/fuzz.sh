#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# and runs each for a while, starting from its seeds.
#   bash scripts/fuzz.sh [SECONDS_EACH]      (default 5)
# An input that fails is kept in tests/fuzz/regressions/<area>/, where the ordinary test suite
# runs it from then on; the script then exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DR7730_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz

status=0
for target in build-fuzz/tests/fuzz/*_fuzz; do
  name=$(basename "$target")
  area=${name%_fuzz}
  corpus=build-fuzz/corpus/$area
  findings=build-fuzz/findings/$area
  mkdir -p "$corpus" "$findings"
  echo "== $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "tests/fuzz/seeds/$area" 2>"build-fuzz/$name.log"; then
    status=1
    mkdir -p "tests/fuzz/regressions/$area"
    cp "$findings"/* "tests/fuzz/regressions/$area/"
    grep -E 'ERROR|SUMMARY' "build-fuzz/$name.log" || tail -20 "build-fuzz/$name.log"
    echo "$name failed: the input is kept in tests/fuzz/regressions/$area/" >&2
  fi
  grep -E 'stat::number_of_executed_units' "build-fuzz/$name.log" || true
done
exit $status
