#!/usr/bin/env bash
# Builds everything and runs every test, then packs that build as a .deb and checks the package,
# then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of
# each fuzz target. Needs no display: tests use
# Qt's offscreen platform. Extra arguments go to ctest.
#   R7730_QUICK=1 bash scripts/test.sh       the ordinary build and tests only
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# One throwaway PostgreSQL server for every test program of the run (the record store's tests
# make a database of their own in it), stopped and removed however the run ends.
pg_folder=""
root=$(pwd)
trap '[[ -z "$pg_folder" ]] || bash "$root/scripts/throwaway-postgres.sh" stop "$pg_folder"' EXIT
if pg_folder=$(bash scripts/throwaway-postgres.sh start); then
  export R7730_TEST_PGHOST="$pg_folder/socket" R7730_TEST_PGUSER=r7730
else
  echo "== no PostgreSQL server: the record store's PostgreSQL tests start their own or fail"
fi

(cd build && ctest --output-on-failure --timeout 300 "$@")
[[ -n "${R7730_QUICK:-}" ]] && exit 0

echo "== the Debian package of this build"
bash scripts/package.sh build

echo "== the tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DR7730_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan
export ASAN_OPTIONS="detect_stack_use_after_return=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure --timeout 600 "$@")

echo "== fuzz targets, a few seconds each"
bash scripts/fuzz.sh 5
