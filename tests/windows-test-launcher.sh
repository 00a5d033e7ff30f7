#!/usr/bin/env bash
# Starts one Windows test program under Wine for ctest. Usage: windows-test-launcher.sh WINE... PROGRAM ARGS...
# Wine now and then fails a program that never ran or that had ended: it ends a program before its
# main() runs (a failure status and nothing on stdout; the test build runs Wine without address
# randomisation, which removes the known cause, but a system may refuse that), or, on a busy machine,
# its server kills a program (SIGKILL) that is slow to leave after its last thread ended. Every test program writes to stdout once its main() runs (GoogleTest's
# first lines) and ends its output with GoogleTest's verdict, so either case is told from a test that
# ran and failed: the program is started once more, and the launcher says so on stderr. A program
# that ran and failed keeps its status at once; so does the second start.
set -uo pipefail
out=$(mktemp)
trap 'rm -f "$out"' EXIT
say() { echo "windows-test-launcher: $*" >&2; }
for attempt in 1 2; do
  # tee reads to the end: no early reader under pipefail.
  "$@" | tee "$out"
  status=${PIPESTATUS[0]}
  last=$(grep -v '^[[:space:]]*$' "$out" | tail -n 1)
  if [ "$status" -eq 0 ]; then exit 0; fi
  if [ ! -s "$out" ]; then
    why="the program ended with status $status before its main() wrote anything: Wine did not start it"
  elif [ "$status" -eq 137 ] && [[ $last =~ ^\[\ \ PASSED\ \ \]\ [0-9]+\ tests?\.$ ]]; then
    why="the program passed and was then killed (SIGKILL) while it ended, as Wine's server does with a program that has not left a second after its last thread"
  else
    exit "$status"
  fi
  if [ "$attempt" -eq 2 ]; then
    say "$why, the second time too"
    exit "$status"
  fi
  say "$why; starting it once more: $*"
done
