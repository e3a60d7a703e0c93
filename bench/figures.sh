#!/usr/bin/env bash
# Every speed figure of the program, each printed beside its anchor measured in the same run:
# the machine may be shared with builds, so a figure means something only next to what the
# bare means did at the same moment. Builds a Release tree, needs no display (it starts a
# private Xvfb when none is set) and asserts nothing. About four minutes.
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
"$bin/bench/figures/window_figures" --only frames
"$bin/bench/figures/window_figures" --only idle --seconds "$seconds" --bare "$bin/bench/figures/bare_window"
echo
"$bin/bench/figures/survey_figures"
echo
# A daily log of 50 MB: a technician's session (status and signal polls, a save answered by an
# unregistered reply) repeated until it is that big; decoded whole beside grep counting its
# receive lines.
echo "r7730ctl decode over a 50 MB daily log:"
log="$scratch/R7730Setup_20210305.log"
{
  printf '[14:03:27]  Start R7730LX Serial Setup Program...\r\n'
  printf '[14:03:31]  Send Current Status Read Command to Kavlor R7730LX... \r\n[14:03:31]  TX 0x41 : [5][7E.05.41.50.FE.]\r\n[14:03:31]  [EOT]\r\n'
  printf '[14:03:31]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.41.50.02.01.03.00.1A.2B.3C.4D.5E.C0.A8.00.0A.C0.A8.00.01.FF.FF.FF.00.1F.90.1E.37.33.30.30.31.53.13.88.C0.A8.00.64.00.00.FE.]\r\n'
  for rssi in 2D.34.38 2D.35.31 2D.34.39; do
    printf '[14:03:40]  TX 0x4A : [5][7E.05.4A.50.FE.]\r\n[14:03:40]  [EOT]\r\n'
    printf '[14:03:40]  RX MSG ID:[0x4A] LEN:[43]:[7E.2B.4A.50.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.4F.66.66.69.63.65.2D.32.47.20.20.%s.20.FE.]\r\n' "$rssi"
    printf '[14:03:40]  res[38] = [                       Office-2G  -48 ]\r\n'
  done
  printf '[14:04:02]  Send Command to Kavlor R7730LX... \r\n[14:04:02]  TX 0x43 : [17][7E.11.43.50.C0.A8.00.14.C0.A8.00.01.FF.FF.FF.00.FE.]\r\n'
  printf '[14:04:05]  [EOT]\r\n[14:04:05]  Message ID:[0x53] is Unregistered.\r\n[14:04:05]  RX MSG ID:[0x53] LEN:[5]:[7E.05.53.50.FE.]\r\n'
} >"$log"
while [[ $(($(stat -c %s "$log") * 2)) -le 50000000 ]]; do cat "$log" "$log" >"$log.twice" && mv "$log.twice" "$log"; done
head -c $((50000000 - $(stat -c %s "$log"))) "$log" >>"$log" # the last line torn, as a copy taken while the program writes
size=$(stat -c %s "$log")
rate() { awk -v bytes="$size" -v start="$1" -v end="$2" 'BEGIN { printf "%.0f MB/s", bytes / (end - start) / 1e6 }'; }
start=$(date +%s.%N); "$bin/cli/r7730ctl" decode "$log" >/dev/null 2>"$scratch/decode.err"; end=$(date +%s.%N)
decode=$(rate "$start" "$end")
# The count goes to a file: with its output on /dev/null GNU grep stops at the first match.
start=$(date +%s.%N); grep -c RX "$log" >"$scratch/grep.count"; end=$(date +%s.%N)
grep_rate=$(rate "$start" "$end")
printf '  %-44s %-24s | %s\n' "r7730ctl decode, $((size / 1000000)) MB" "$decode" "anchor: grep -c RX, same file: $grep_rate"
printf '  %-44s %s\n' "(what decode read)" "$(cat "$scratch/decode.err")"
echo
echo "Start-up on X11, the program (in a fresh working folder) and a bare Qt window taking turns:"
mkdir -p "$scratch/folder/cfg" "$scratch/folder/Log"
if [[ -x "$bin/bench/figures/first_paint" ]]; then
  "$bin/bench/figures/first_paint" --runs 9 --folder "$scratch/folder" "$bin/app/R7730Setup" "$bin/bench/figures/bare_window"
else
  echo "  (first_paint not built: it needs the X11 DAMAGE headers, libxdamage-dev)"
fi
