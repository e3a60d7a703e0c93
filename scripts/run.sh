#!/usr/bin/env bash
# Builds the program and starts it in a prepared working folder (./run).
#   bash scripts/run.sh            the window
#   bash scripts/run.sh /dev/ttyUSB0   the same, with that serial port in cfg/SETUP.INI
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
root=$(pwd)
mkdir -p run/cfg run/Log run/KavlorFW
cd run
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$root/build/app/R7730Setup"
fi
echo "No display here: running the window on a virtual display (Xvfb)."
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/app/R7730Setup"
