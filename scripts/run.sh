#!/usr/bin/env bash
# Builds the program and starts it in a prepared working folder (./run).
#   bash scripts/run.sh                 the window, with a simulated device ready to connect
#   bash scripts/run.sh /dev/ttyUSB0    the window, with that serial port and no simulator
#
# Without a port the simulated device (build/simulator/Simulator) runs on a pseudo-terminal
# linked at run/dev/R7730LX, keeping its state in run/simulator-state.txt, and cfg/SETUP.INI names
# that link (written only when the file is missing or already names the link). The simulator
# stops when the window closes. Without a display the window runs on a virtual display (Xvfb)
# and a screenshot is saved to run/screenshot.png.
#   R7730_BUILD_DIR=build-x   build only the window and the simulator, in that folder
#   R7730_RUN_SECONDS=N       without a display: stop after N seconds instead of waiting for Ctrl+C
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
port_argument=${1:-}

# The lock a running window holds, one copy per user: in /run/user/UID when that is a private
# folder of the user's own, else in ~/.local/state/r7730-setup.
window_lock() {
  local runtime mode
  runtime="/run/user/$(id -u)"
  if [[ -d "$runtime" && ! -L "$runtime" && -O "$runtime" ]]; then
    mode=$(stat -c %a "$runtime")
    if (( (8#$mode & 8#022) == 0 )); then
      echo "$runtime/R7730LX_Setup.lock"
      return
    fi
  fi
  echo "${HOME:-}/.local/state/r7730-setup/R7730LX_Setup.lock"
}

# A second copy of the window ends at once without a word, so say it here, before anything is
# built or started: with the PID of the copy that holds the lock, where /proc/locks shows it.
lock=$(window_lock)
if [[ -f "$lock" ]] && command -v flock >/dev/null && ! flock -n "$lock" true 2>/dev/null; then
  inode=$(stat -c %i "$lock")
  holder=$(awk -v inode="$inode" '$2 == "FLOCK" { n = split($6, id, ":"); if (id[n] == inode) { print $5; exit } }' /proc/locks 2>/dev/null || true)
  if [[ -n "$holder" ]]; then
    echo "A copy of the window is already running (PID $holder): close it first, or use that one." >&2
  else
    echo "A copy of the window is already running (it holds $lock): close it first, or use that one." >&2
  fi
  exit 1
fi

build_dir=${R7730_BUILD_DIR:-build}
if [[ -n "${R7730_BUILD_DIR:-}" ]]; then
  cmake -S . -B "$build_dir" -G Ninja >/dev/null
  cmake --build "$build_dir" --target R7730Setup Simulator
else
  bash scripts/build.sh
fi
window="$root/$build_dir/app/R7730Setup"
simulator="$root/$build_dir/simulator/Simulator"

run="$root/run"
mkdir -p "$run/cfg" "$run/Log" "$run/KavlorFW" "$run/dev"
settings="$run/cfg/SETUP.INI"
link="$run/dev/R7730LX"

# The ComPort value of [EnvBoard] in the settings file (empty when absent).
current_port() {
  [[ -f "$settings" ]] || return 0
  LC_ALL=C awk -F= '
    /^\[/ { section = $0; sub(/\r$/, "", section); next }
    section == "[EnvBoard]" && $1 == "ComPort" { value = substr($0, index($0, "=") + 1); sub(/\r$/, "", value); print value; exit }
  ' "$settings"
}

# Sets ComPort in [EnvBoard], keeping every other line of the file.
set_port() {
  local port=$1
  if [[ ! -f "$settings" ]]; then
    printf '[EnvBoard]\nComPort=%s\n' "$port" >"$settings"
    return
  fi
  LC_ALL=C awk -v port="$port" '
    function add() { print "ComPort=" port eol; done = 1 }
    NR == 1 && /\r$/ { eol = "\r" }
    /^\[/ { if (section == "[EnvBoard]" && !done) add(); section = $0; sub(/\r$/, "", section); print; next }
    section == "[EnvBoard]" && /^ComPort=/ { if (!done) add(); next }
    { print }
    END { if (!done) { if (section != "[EnvBoard]") print "[EnvBoard]" eol; add() } }
  ' "$settings" >"$settings.new"
  mv "$settings.new" "$settings"
}

# A small sample firmware image for the download panel's HTTP server.
firmware="$run/KavlorFW/R7730LX_v1.0.bin"
if [[ ! -f "$firmware" ]]; then
  { printf 'R7730LX firmware v1.0 - sample image for trials, not a real firmware\n'; head -c 65536 /dev/zero | tr '\0' '\125'; } >"$firmware"
fi
# The window's "TCP Simulator" button starts ./Simulator from the working folder.
ln -sfn "$simulator" "$run/Simulator"

have_display=false
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then have_display=true; fi

simulator_pid=""
stop_simulator() {
  if [[ -n "$simulator_pid" ]] && kill -0 "$simulator_pid" 2>/dev/null; then
    kill -TERM "$simulator_pid" 2>/dev/null || true
    wait "$simulator_pid" 2>/dev/null || true
  fi
}
trap stop_simulator EXIT
trap 'exit 130' INT TERM

if [[ -n "$port_argument" ]]; then
  set_port "$port_argument"
  echo "Serial port: $port_argument (in run/cfg/SETUP.INI)."
else
  rm -f "$link"
  simulator_args=(--link "$link" --state-file "$run/simulator-state.txt")
  if $have_display && [[ -n "${DISPLAY:-}" ]]; then
    # Its own terminal window shows its frame log (it re-opens itself in xterm without a terminal).
    "$simulator" "${simulator_args[@]}" </dev/null >"$run/simulator.log" 2>&1 &
  else
    "$simulator" --no-terminal "${simulator_args[@]}" </dev/null >"$run/simulator.log" 2>&1 &
  fi
  simulator_pid=$!
  for _ in $(seq 50); do
    [[ -L "$link" ]] && break
    sleep 0.1
  done
  if [[ ! -L "$link" ]]; then
    echo "The simulator did not start; its output (run/simulator.log):" >&2
    cat "$run/simulator.log" >&2
    exit 1
  fi
  configured=$(current_port)
  if [[ -z "$configured" || "$configured" == "$link" ]]; then
    set_port "$link"
    echo "Simulated device on $(readlink "$link"), linked at run/dev/R7730LX (named in run/cfg/SETUP.INI)."
  else
    echo "run/cfg/SETUP.INI names the port $configured, so it was left as it is; the simulated device is at $link."
  fi
  if $have_display && [[ -n "${DISPLAY:-}" ]]; then
    echo "The simulator shows its frames in a terminal window of its own (state: run/simulator-state.txt)."
  else
    echo "Simulator output: run/simulator.log (state: run/simulator-state.txt)."
  fi
fi

cd "$run"
if $have_display; then
  "$window"
  exit $?
fi

echo "No display here: running the window on a virtual display (Xvfb); a screenshot goes to run/screenshot.png."
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
  export XDG_RUNTIME_DIR="/tmp/r7730-runtime-$(id -u)"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
export R7730_WINDOW="$window" R7730_SCREENSHOT="$run/screenshot.png" R7730_RUN_SECONDS="${R7730_RUN_SECONDS:-}"
export R7730_WINDOW_PID="$run/window.pid"
# The virtual display runs in a session of its own, so Ctrl+C reaches only this script: it asks
# the window to close (it saves its settings and closes the port), and the display goes after it.
setsid xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$R7730_WINDOW" &
  window_pid=$!
  echo $window_pid >"$R7730_WINDOW_PID"
  trap "kill $window_pid 2>/dev/null" EXIT
  sleep 4
  if ! kill -0 $window_pid 2>/dev/null; then
    echo "The window ended during start-up." >&2
    wait $window_pid
    exit $?
  fi
  if command -v import >/dev/null && import -window root "$R7730_SCREENSHOT" 2>/dev/null; then
    echo "Screenshot of the window: $R7730_SCREENSHOT"
  else
    echo "No screenshot: ImageMagick'"'"'s import is missing (bash scripts/install-deps.sh installs it)." >&2
  fi
  if [[ -n "$R7730_RUN_SECONDS" ]]; then
    sleep "$R7730_RUN_SECONDS"
    kill -TERM $window_pid 2>/dev/null
    wait $window_pid
    exit 0
  fi
  echo "The window keeps running on the virtual display; press Ctrl+C to stop it and the simulator."
  wait $window_pid
' &
display_pid=$!
close_window() {
  if [[ -s "$R7730_WINDOW_PID" ]]; then
    kill -TERM "$(cat "$R7730_WINDOW_PID")" 2>/dev/null || true
  fi
}
trap 'close_window' INT TERM
while kill -0 "$display_pid" 2>/dev/null; do
  wait "$display_pid" || true
done
rm -f "$R7730_WINDOW_PID"
