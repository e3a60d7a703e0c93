#!/usr/bin/env bash
# Pictures of the main window, one per tab (the third with the admin panels shown), drawn
# offscreen, the port setup dialog with its list open, the signal survey window and the frames
# window; the first tab's picture, the survey's and the frames window's are in the README.
#   bash scripts/screenshots.sh [BUILD_FOLDER]     (default: ./build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
if [ ! -f "$build/build.ninja" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target window_screenshots
mkdir -p docs
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
"$build/screenshots/window_screenshots" docs
mv docs/main-tab1.png docs/screenshot-main.png
echo "docs/screenshot-main.png, docs/main-tab2.png, docs/main-tab3.png, docs/setup-ports.png, docs/survey.png, docs/frames.png"
