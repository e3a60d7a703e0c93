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
# make a database of their own in it): Unix socket only, run by nobody when we are root, stopped
# and removed however the run ends.
pg_scratch=""
stop_test_postgres() {
  [[ -n "$pg_scratch" ]] || return 0
  "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_scratch/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$pg_scratch"
}
trap stop_test_postgres EXIT
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
pg_as=()
if [[ -x "$pg_bin/initdb" ]]; then
  pg_scratch=$(mktemp -d /tmp/r7730-pg-XXXXXX)
  mkdir "$pg_scratch/socket"
  if [[ $(id -u) == 0 ]]; then
    chown -R nobody:nogroup "$pg_scratch"
    pg_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  (cd "$pg_scratch" && "${pg_as[@]}" "$pg_bin/initdb" -D "$pg_scratch/data" -U r7730 -A trust -E UTF8 --locale=C \
    --no-sync --no-instructions >"$pg_scratch/initdb.log")
  (cd "$pg_scratch" && "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_scratch/data" -l "$pg_scratch/server.log" -w \
    -o "-k $pg_scratch/socket -c listen_addresses='' -c fsync=off -c synchronous_commit=off" start >/dev/null)
  export R7730_TEST_PGHOST="$pg_scratch/socket" R7730_TEST_PGUSER=r7730
else
  echo "== no PostgreSQL server under /usr/lib/postgresql: the record store's PostgreSQL tests will fail"
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
