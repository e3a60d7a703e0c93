#!/usr/bin/env bash
# Checks a built .deb without installing it: unpacked into a scratch root (dpkg -x), its
# control fields, its files, the menu entry, the man page and completion, the launcher's
# per-user working folder and its notice box when that cannot be made, and that the installed
# programs run (the window offscreen, r7730ctl against the installed simulator).
# Usage: check_package.sh PACKAGE.deb
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/text_checks.sh"

deb=$(readlink -f "$1")
scratch=$(mktemp -d)
simulator_pid=""
cleanup() {
  [[ -n "$simulator_pid" ]] && kill -TERM "$simulator_pid" 2>/dev/null && wait "$simulator_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" >/dev/null 2>&1 || fail "$what"; }

root=$scratch/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin

echo "== control fields"
field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
# dpkg-shlibdeps names the libraries linked; the font and the SQLite driver (a plugin) by hand.
for needed in libc6 libstdc++6 libqt6core6 libqt6widgets6 fonts-nanum libqt6sql6-sqlite; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
for recommended in python3 xterm iputils-ping xdg-utils libqt6sql6-psql; do
  [[ "$(field Recommends)" == *"$recommended"* ]] || fail "Recommends lacks $recommended"
done
[[ "$(field Package)" == r7730-setup ]] || fail "package name: $(field Package)"

echo "== files"
# Everything below /usr, and the programs under names no other package uses.
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' || true)
[[ -z $outside ]] || fail "files outside /usr: $outside"
for program in r7730-setup r7730ctl r7730-simulator r7730-setup-start; do
  [[ -x $bin/$program ]] || fail "usr/bin/$program missing or not executable"
done
[[ ! -e $bin/Simulator && ! -e $bin/R7730Setup ]] || fail "a program kept its build name in usr/bin"
notice=$root/usr/lib/r7730-setup/r7730-notice
[[ -x $notice ]] || fail "usr/lib/r7730-setup/r7730-notice missing or not executable"
grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
  "$root/usr/share/doc/r7730-setup/copyright" 2>/dev/null || fail "no machine-readable usr/share/doc/r7730-setup/copyright"
is_stripped "$bin/r7730-setup" || fail "the window program is not stripped: $(file -b "$bin/r7730-setup")"

echo "== menu entry and icon"
desktop=$root/usr/share/applications/r7730-setup.desktop
check "desktop-file-validate $desktop" desktop-file-validate "$desktop"
entry() { sed -n "s/^$1=//p" "$desktop"; }
exec_program=$(entry Exec | awk '{print $1}')
[[ -x $bin/$exec_program ]] || fail "Exec names $exec_program, which the package does not hold"
icon=$(entry Icon)
[[ -f $root/usr/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no scalable icon $icon.svg"
for size in 16 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
  is_png_of_size "$png" "$size" || fail "icon ${size}x${size}: $(file "$png")"
done
[[ -n "$(entry 'Comment\[ko\]')" && -n "$(entry Comment)" ]] || fail "Comment in English and Korean"
[[ "$(entry Categories)" == *Utility\;*Electronics\;* ]] || fail "Categories: $(entry Categories)"

echo "== man page and completion"
man_page=$root/usr/share/man/man1/r7730ctl.1.gz
# Made from --help: it names every command the program lists.
lacking=$(man_page_lacks "$man_page" ports status factory-reset backup restore --no-verify) ||
  fail "the man page $man_page cannot be read"
for command in $lacking; do fail "the man page lacks $command"; done
completion=$root/usr/share/bash-completion/completions/r7730ctl
complete_words() { # the words offered for the command line "$@" (the last word is being typed)
  bash -c '
    _init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}; words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; }
    _filedir() { :; }
    source "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _r7730ctl
    echo "${COMPREPLY[*]}"' "$completion" "$@"
}
[[ "$(complete_words r7730ctl fac)" == factory-reset ]] || fail "completion of a command: $(complete_words r7730ctl fac)"
[[ "$(complete_words r7730ctl -p /dev/x set "")" == "wan tcp serial ap" ]] || fail "completion after set"
[[ "$(complete_words r7730ctl set serial --parity "")" == "none odd even" ]] || fail "completion of --parity"
[[ "$(complete_words r7730ctl set wan --g)" == --gateway ]] || fail "completion of a set option"
[[ "$(complete_words r7730ctl batch plan.csv --match "")" == "next mac" ]] || fail "completion of --match"
# That completion offers exactly r7730ctl's commands and their options, as --help lists them, is
# held to the command table by the cli tests; here the installed file must work at all.
[[ "$(complete_words r7730ctl decode --e)" == --errors ]] || fail "completion of a decode option"

echo "== the launcher's working folder"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
home=$scratch/home
mkdir "$home"
# A window started by the launcher runs in its per-user folder and closes on SIGTERM, saving its
# settings there.
run_window() {
  env "$@" "$bin/r7730-setup-start" >"$scratch/window.log" 2>&1 &
  local pid=$! waited=0
  while kill -0 "$pid" 2>/dev/null && ((waited < 30)); do sleep 0.1; waited=$((waited + 1)); done
  if ! kill -0 "$pid" 2>/dev/null; then
    fail "the window ended during start-up (another copy running for this user?): $(cat "$scratch/window.log")"
    return
  fi
  kill -TERM "$pid"
  wait "$pid" || fail "the window ended with $?: $(cat "$scratch/window.log")"
}
run_window -u XDG_DATA_HOME HOME="$home"
work=$home/.local/share/r7730-setup
for folder in cfg Log KavlorFW; do [[ -d $work/$folder ]] || fail "no $folder in $work"; done
[[ -f $work/cfg/SETUP.INI ]] || fail "the window did not save cfg/SETUP.INI in its working folder"
[[ "$(readlink -f "$work/Simulator")" == "$(readlink -f "$bin/r7730-simulator")" ]] ||
  fail "./Simulator does not lead to the installed simulator"
[[ "$(ls -A "$home")" == .local ]] || fail "the home folder's top holds: $(ls -A "$home")"
# XDG_DATA_HOME decides where it goes; a Simulator file of the user's own is kept.
data=$scratch/data
mkdir -p "$data/r7730-setup"
echo "mine" >"$data/r7730-setup/Simulator"
run_window HOME="$home" XDG_DATA_HOME="$data"
[[ -f $data/r7730-setup/cfg/SETUP.INI ]] || fail "XDG_DATA_HOME was not followed"
[[ "$(cat "$data/r7730-setup/Simulator")" == mine ]] || fail "the user's own ./Simulator was replaced"

# A working folder that cannot be made: the reason on standard error and in the installed notice
# program's box, which stays up until closed (so the launcher is still waiting after a while).
touch "$scratch/home-is-a-file"
start_status=0
XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR timeout 5 env -u XDG_DATA_HOME HOME="$scratch/home-is-a-file" \
  "$bin/r7730-setup-start" >/dev/null 2>"$scratch/start.err" || start_status=$?
[[ $start_status == 124 ]] || fail "the launcher did not show its notice box (it ended with $start_status)"
grep -q "The working folder .* cannot be made" "$scratch/start.err" || fail "no reason on standard error: $(cat "$scratch/start.err")"
printf '#!/bin/sh\nprintf "%%s|%%s" "$1" "$2" >"%s/notice"\n' "$scratch" >"$scratch/record-notice"
chmod +x "$scratch/record-notice"
R7730_NOTICE=$scratch/record-notice env -u XDG_DATA_HOME HOME="$scratch/home-is-a-file" "$bin/r7730-setup-start" \
  >/dev/null 2>&1 && fail "the launcher went on without a working folder"
[[ "$(cat "$scratch/notice" 2>/dev/null)" == "R7730LX Serial Setup|The working folder "*" cannot be made"* ]] ||
  fail "the notice names no reason: $(cat "$scratch/notice" 2>/dev/null)"

echo "== r7730ctl against the installed simulator"
"$bin/r7730-simulator" --no-terminal --quiet --link "$scratch/device" >"$scratch/simulator.log" 2>&1 &
simulator_pid=$!
for _ in $(seq 50); do [[ -L $scratch/device ]] && break; sleep 0.1; done
status=$("$bin/r7730ctl" -p "$scratch/device" status 2>&1) || fail "r7730ctl status: $status"
[[ $status == *R7730LX* ]] || fail "r7730ctl status printed: $status"
kill "$simulator_pid" 2>/dev/null && wait "$simulator_pid" 2>/dev/null

echo "== r7730ctl batch on an installed simulator's bench, with the installed SQLite driver"
"$bin/r7730-simulator" --no-terminal --quiet --link "$scratch/bench" --units 1 --reboot-ms 300 >"$scratch/bench.log" 2>&1 &
simulator_pid=$!
for _ in $(seq 50); do [[ -L $scratch/bench ]] && break; sleep 0.1; done
mkdir "$scratch/line"
printf 'label,ip\nP-01,10.0.0.21\n' >"$scratch/line/plan.csv"
batch=$(cd "$scratch/line" && "$bin/r7730ctl" --timeout 500 batch plan.csv -p "$scratch/bench" 2>&1) || fail "r7730ctl batch: $batch"
[[ $batch == *"PASS P-01"* ]] || fail "r7730ctl batch printed: $batch"

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the package is sound"
