#!/usr/bin/env bash
# The package check's matching (text_checks.sh) under pipefail: a man page whose words all come
# early, with pages of text after them, matched 30 times without one false failure; a page that
# lacks words, one that cannot be read; the stripped-program and icon-size checks.
# Usage: text_checks_test.sh UNSTRIPPED_PROGRAM
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/text_checks.sh"

unstripped=$(readlink -f "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Words first, as --help lists its commands, then far more than a pipe's first write.
{
  printf '.TH R7730CTL 1\n.SH COMMANDS\nports\nstatus\nfactory\\-reset\nbackup\nrestore\n\\fB\\-\\-no\\-verify\\fR\n'
  for line in $(seq 3000); do printf '.TP\nline %s of the options that follow the commands\n' "$line"; done
} | gzip >"$scratch/page.1.gz"
for run in $(seq 30); do
  lacking=$(man_page_lacks "$scratch/page.1.gz" ports status factory-reset backup restore --no-verify)
  status=$?
  [[ $status == 0 && -z $lacking ]] || fail "run $run: status $status, lacking \"$lacking\""
done

printf 'ports\nstatus\n' | gzip >"$scratch/short.1.gz"
lacking=$(man_page_lacks "$scratch/short.1.gz" ports backup status --no-verify)
[[ $lacking == $'backup\n--no-verify' ]] || fail "a short page lacks: \"$lacking\""
for unreadable in "$scratch/missing.1.gz" "$scratch"; do
  man_page_lacks "$unreadable" ports >/dev/null
  status=$?
  [[ $status == 2 ]] || fail "$unreadable read with status $status"
done

strip -o "$scratch/stripped" "$unstripped"
is_stripped "$scratch/stripped" || fail "a stripped program taken for unstripped: $(file -b "$scratch/stripped")"
is_stripped "$unstripped" && fail "an unstripped program taken for stripped: $(file -b "$unstripped")"
printf '#!/bin/sh\n' >"$scratch/script"
is_stripped "$scratch/script" && fail "a script taken for a stripped program"

# The head of a PNG file: its signature and the IHDR chunk with the width and height.
png_of() { printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00%b\x00\x00\x00%b\x08\x06\x00\x00\x00\x1f\xf3\xffa' "$2" "$2" >"$1"; }
png_of "$scratch/16.png" '\x10'
png_of "$scratch/160.png" '\xa0'
is_png_of_size "$scratch/16.png" 16 || fail "a 16 x 16 icon refused: $(file -b "$scratch/16.png")"
is_png_of_size "$scratch/160.png" 16 && fail "a 160 x 160 icon taken for 16 x 16"
is_png_of_size "$scratch/script" 16 && fail "a script taken for an icon"

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the package check's matching holds"
