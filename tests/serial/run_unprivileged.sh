#!/usr/bin/env bash
# Runs the pseudo-terminal tests of the serial port as a user without root's privileges, as a
# technician runs the program: root passes checks (such as exclusive use of a port) that
# others do not. Run as another user already, it runs them as that user.
set -euo pipefail
binary=$1
runtime=$(mktemp -d)
chmod 0777 "$runtime"
trap 'rm -rf "$runtime"' EXIT
# A copy in the scratch folder: the build tree may sit where that user cannot reach.
cp "$binary" "$runtime/serial_tests"
chmod 0755 "$runtime/serial_tests"
as_user=()
if [[ $(id -u) -eq 0 ]] && command -v setpriv >/dev/null; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
"${as_user[@]}" env HOME="$runtime" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen \
  "$runtime/serial_tests" --gtest_filter='ComPty.*' --gtest_brief=1
