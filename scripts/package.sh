#!/usr/bin/env bash
# Builds the Debian package from a Release build: dist/r7730-setup_VERSION_ARCH.deb.
#   bash scripts/package.sh            install what is needed, build ./build-release, pack
#   sudo apt install ./dist/r7730-setup_*.deb
# The package is checked before it is named (tests/package/check_package.sh: its files, the menu
# entry, the launcher's working folder, the installed programs running).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DR7730_PACKAGING=ON \
  -DR7730_BUILD_TESTS=OFF -DR7730_BUILD_BENCH=OFF >/dev/null
cmake --build build-release
mkdir -p dist
(cd build-release && cpack -G DEB -B "$PWD/../dist" >/dev/null)
rm -rf dist/_CPack_Packages
deb=dist/r7730-setup_$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build-release/CPackConfig.cmake)_$(dpkg --print-architecture).deb
QT_QPA_PLATFORM=offscreen bash tests/package/check_package.sh "$deb"
echo "$deb"
