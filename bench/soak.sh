#!/usr/bin/env bash
# A long run of the window against the simulated device (not part of the tests): the signal
# polled every 3 s and a scan every 10 s with the log view and the daily file on; prints the
# frames sent and answered, resident memory and error lines.
#   bash bench/soak.sh [MINUTES]     (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
QT_QPA_PLATFORM=offscreen build/bench/soak/window_soak "${1:-10}"
