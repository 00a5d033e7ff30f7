# shellcheck shell=bash
# Sourced by the build and test scripts after `set -euo pipefail`: a command that ends the script
# names itself, its line and its status on stderr first, so no step fails in silence. Functions
# inherit the trap (-E); in a subshell or command substitution it only passes the status on, and the
# script's own command that failed through it is the one named. The trap also fires under `set +e`:
# a status the script handles itself is taken with `cmd || status=$?`.
vrn_on_error() {
  local status=$? command=$BASH_COMMAND line=${BASH_LINENO[0]}
  if [ "$BASHPID" = "$$" ]; then echo "${0##*/}: line $line: '$command' failed (status $status)" >&2; fi
  exit "$status"
}
set -E
trap vrn_on_error ERR
