#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the simulator demo and the
# screenshots need. Idempotent: packages already present are skipped quickly.
set -euo pipefail

PACKAGES=(
  cmake g++ ninja-build pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xterm
  libx11-dev libxdamage-dev
  fonts-nanum
  libqt6sql6-sqlite libqt6sql6-psql postgresql sqlite3
  libcpp-httplib-dev
  python3 iputils-ping xdg-utils
  imagemagick
  help2man desktop-file-utils librsvg2-bin dpkg-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  if [[ $status != *"install ok installed"* ]]; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
