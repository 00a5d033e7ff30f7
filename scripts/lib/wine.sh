# shellcheck shell=bash
# Sourced by the scripts that run Windows programs under Wine.

# Prints the path of the first of the named programs that is installed. A loop rather than
# `command -v a b | head -n 1`: under pipefail the writer of such a pipeline may die of SIGPIPE once
# head has its line, and the script would end with status 141 and no word.
vrn_first_program() { # NAME...
  local name
  for name in "$@"; do
    if command -v "$name"; then return 0; fi
  done
  echo "${0##*/}: none of $* is installed" >&2
  return 1
}
