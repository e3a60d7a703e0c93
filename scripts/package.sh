#!/usr/bin/env bash
# Builds the Debian package from a Release build: dist/r7730-setup_VERSION_ARCH.deb.
#   bash scripts/package.sh            install what is needed, build ./build-release, pack
#   bash scripts/package.sh build      pack an existing build folder as it is configured
#                                      (the test command checks the package this way)
#   sudo apt install ./dist/r7730-setup_*.deb
# The package is checked before it is named (tests/package/check_package.sh: its files, the menu
# entry, the launcher's working folder, the installed programs running).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build="${1:-build-release}"
if [[ $# -eq 0 ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DR7730_PACKAGING=ON \
    -DR7730_BUILD_TESTS=OFF -DR7730_BUILD_BENCH=OFF >/dev/null
else
  cmake -S . -B "$build" -DR7730_PACKAGING=ON >/dev/null
fi
cmake --build "$build"
mkdir -p dist
dist=$PWD/dist
(cd "$build" && cpack -G DEB -B "$dist" >/dev/null)
rm -rf dist/_CPack_Packages
deb=dist/r7730-setup_$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")_$(dpkg --print-architecture).deb
# The package is named either way, so a failed check can be looked into with the .deb at hand.
if ! QT_QPA_PLATFORM=offscreen bash tests/package/check_package.sh "$deb"; then
  echo "$deb was built, but its check failed" >&2
  exit 1
fi
echo "$deb"
