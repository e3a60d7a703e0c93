# The package check's matching of texts, sourced by check_package.sh and by its own test.
# Each text is read whole into a variable before it is matched: under pipefail a reader that
# stops at its first match (grep -q, head) kills the program still writing into the pipe, and
# the match turns into a failure.

# Prints, one a line, the words of "$@" (after the page) that the gzipped man page lacks, its
# "\-" read as "-". Returns 2 when the page cannot be read.
man_page_lacks() {
  local page=$1 text word
  shift
  text=$(zcat -- "$page" 2>/dev/null) || return 2
  text=${text//\\-/-}
  for word in "$@"; do
    [[ $text == *"$word"* ]] || echo "$word"
  done
}

# Whether `file` calls the program a stripped one.
is_stripped() {
  local what
  what=$(file -b -- "$1") || return 1
  [[ $what == *stripped* && $what != *"not stripped"* ]]
}

# Whether `file` calls the file a PNG image of SIZE x SIZE pixels.
is_png_of_size() {
  local what
  what=$(file -b -- "$1") || return 1
  [[ $what == *"PNG image data, $2 x $2,"* ]]
}
