#!/usr/bin/env bash
# The menu launcher (packaging/r7730-setup-start) from a scratch copy of /usr/bin: where it starts
# the window, and the message box it shows when it cannot (R7730_NOTICE names a program that
# records its title and text instead of showing them); then the real notice program, offscreen.
# Usage: launcher_test.sh LAUNCHER NOTICE_PROGRAM
set -uo pipefail

launcher=$(readlink -f "$1")
notice_program=$(readlink -f "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

bin=$scratch/bin
mkdir "$bin"
cp "$launcher" "$bin/r7730-setup-start"
# The window stand-in tells where it ran.
printf '#!/bin/sh\npwd >"%s/window-ran-in"\n' "$scratch" >"$bin/r7730-setup"
printf '#!/bin/sh\nprintf "%%s|%%s" "$1" "$2" >"%s/notice"\n' "$scratch" >"$scratch/record-notice"
chmod +x "$bin/r7730-setup" "$scratch/record-notice"
touch "$scratch/home-is-a-file"
mkdir "$scratch/home"

# Each case: the environment, then the notice text expected ("" for a start without one).
cases=(
  "HOME=$scratch/home|"
  "HOME=$scratch/home-is-a-file|R7730LX Serial Setup|The working folder $scratch/home-is-a-file/.local/share/r7730-setup cannot be made, so the setup window cannot start: cannot create directory '$scratch/home-is-a-file': Not a directory"
  "XDG_DATA_HOME=relative/data|R7730LX Serial Setup|Neither XDG_DATA_HOME nor HOME is set, so there is no place for the working folder"
  "HOME=$scratch/home REMOVE_WINDOW=1|R7730LX Serial Setup|The setup window program $bin/r7730-setup is missing: reinstall the package"
)
for case in "${cases[@]}"; do
  environment=${case%%|*}
  expected=${case#*|}
  rm -f "$scratch/notice" "$scratch/window-ran-in"
  [[ $environment == *REMOVE_WINDOW=1* ]] && mv "$bin/r7730-setup" "$scratch/window-aside"
  # shellcheck disable=SC2086 # the case's assignments are words on purpose
  env -i PATH=/usr/bin:/bin R7730_NOTICE="$scratch/record-notice" $environment "$bin/r7730-setup-start" \
    >/dev/null 2>"$scratch/stderr"
  status=$?
  [[ -e $scratch/window-aside ]] && mv "$scratch/window-aside" "$bin/r7730-setup"
  notice=$(cat "$scratch/notice" 2>/dev/null)
  if [[ -z $expected ]]; then
    [[ $status == 0 && -z $notice ]] || fail "$environment: status $status, notice '$notice'"
    [[ "$(cat "$scratch/window-ran-in" 2>/dev/null)" == "$scratch/home/.local/share/r7730-setup" ]] ||
      fail "$environment: the window did not run in the working folder"
    continue
  fi
  [[ $notice == "$expected" ]] || fail "$environment: notice '$notice', expected '$expected'"
  [[ "$(cat "$scratch/stderr")" == "r7730-setup-start: ${expected#*|}" ]] ||
    fail "$environment: standard error '$(cat "$scratch/stderr")'"
  [[ $status == 1 && ! -e $scratch/window-ran-in ]] || fail "$environment: status $status, or the window ran"
done

# The real notice program: wrong arguments are refused; right ones show a box that waits for OK.
"$notice_program" only-a-title >/dev/null 2>&1
[[ $? == 2 ]] || fail "the notice program took one argument"
XDG_RUNTIME_DIR=$scratch QT_QPA_PLATFORM=offscreen timeout 3 "$notice_program" "R7730LX Serial Setup" "text" >/dev/null 2>&1
status=$?
[[ $status == 124 ]] || fail "the notice program did not wait with its box up (it ended with $status)"

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the launcher and its notice are sound"
