#!/usr/bin/env bash
# Builds everything and runs every test. Needs no display: tests use Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cd build
ctest --output-on-failure --timeout 300 "$@"
