#!/usr/bin/env bash
# Every speed figure of the program, each printed beside its anchor measured in the same run:
# the machine may be shared with builds, so a figure means something only next to what the
# bare means did at the same moment. Builds a Release tree, needs no display (it starts a
# private Xvfb when none is set) and asserts nothing. About three minutes.
#   bash bench/figures.sh
#   R7730_FIGURES_SECONDS=N   length of the flood and idle figures (default 30)
#   R7730_BUILD_DIR=DIR       the Release tree to build and use (default build-figures; the package has its own)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
build=${R7730_BUILD_DIR:-build-figures}
seconds=${R7730_FIGURES_SECONDS:-30}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DR7730_BUILD_TESTS=ON -DR7730_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target serial_bench record_store_bench window_figures survey_figures bare_window first_paint \
  R7730Setup Simulator r7730ctl firmware_serve_bench >/dev/null
bin="$root/$build"

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# An X display for the figures on X11: the one given, or a private virtual one.
if [[ -z "${DISPLAY:-}" ]]; then
  for n in $(seq 90 120); do
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
      xvfb_pid=$!
      for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.05; done
      export DISPLAY=":$n"
      break
    fi
  done
fi

echo "R7730 figures: $(git log -1 --format="%h %s" 2>/dev/null | cut -c1-70)"
echo "$(date -u '+%F %T UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), display $DISPLAY"
echo
echo "Serial port on a pty (serial_bench):"
"$bin/bench/serial/serial_bench" 3 2 | tail -n +2
echo
"$bin/bench/record_store_bench" 1000
bash bench/provision/batch_figures.sh "$bin" 20
echo
"$bin/bench/firmware/firmware_serve_bench" 9
echo
QT_QPA_PLATFORM=offscreen "$bin/bench/figures/window_figures" --only roundtrip --rounds 200
"$bin/bench/figures/window_figures" --only roundtrip --rounds 200
"$bin/bench/figures/window_figures" --only receive
"$bin/bench/figures/window_figures" --only loglines
"$bin/bench/figures/window_figures" --only flood --seconds "$seconds"
"$bin/bench/figures/window_figures" --only idle --seconds "$seconds" --bare "$bin/bench/figures/bare_window"
echo
"$bin/bench/figures/survey_figures"
echo "Start-up on X11, the program (in a fresh working folder) and a bare Qt window taking turns:"
mkdir -p "$scratch/folder/cfg" "$scratch/folder/Log"
if [[ -x "$bin/bench/figures/first_paint" ]]; then
  "$bin/bench/figures/first_paint" --runs 9 --folder "$scratch/folder" "$bin/app/R7730Setup" "$bin/bench/figures/bare_window"
else
  echo "  (first_paint not built: it needs the X11 DAMAGE headers, libxdamage-dev)"
fi
