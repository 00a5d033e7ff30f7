#!/usr/bin/env bash
# Starts one Windows test program under Wine for ctest. Usage: windows-test-launcher.sh WINE... PROGRAM ARGS...
# Now and then, with many programs starting at once in one prefix, Wine ends a program before its
# main() runs: a failure status and nothing on stdout. Every test program writes to stdout once its
# main() runs (GoogleTest's first lines), so such a start is told from a test that ran and failed: it
# is made once more, and said so on stderr. A program that wrote anything ran: its status stands.
set -uo pipefail
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
  # tee reads to the end: no early reader under pipefail.
  "$@" | tee "$out"
  status=${PIPESTATUS[0]}
  if [ "$status" -eq 0 ] || [ -s "$out" ]; then exit "$status"; fi
  if [ "$attempt" -eq 2 ]; then
    echo "windows-test-launcher: it did not start the second time either (status $status)" >&2
    exit "$status"
  fi
  echo "windows-test-launcher: the program ended with status $status before its main() wrote anything:" \
    "Wine did not start it; starting it once more: $*" >&2
done
