#!/usr/bin/env bash
# Starts one Windows test program under Wine for ctest. Usage: windows-test-launcher.sh WINE... PROGRAM ARGS...
# Wine now and then fails a program that never ran or that had ended: it ends a program before its
# main() runs (a failure status and nothing on stdout; the test build runs Wine without address
# randomisation, which removes the known cause, but a system may refuse that); on a busy machine its
# server kills a program (SIGKILL) that is slow to leave after its last thread ended; and, rarely, a
# program that has written its last line never leaves at all (seen also for a program that only listed
# its tests and so had started no thread: Wine's own process end, not the program). Every test program
# writes to stdout once its main() runs (GoogleTest's first lines) and ends its output with GoogleTest's
# verdict, so each case is told from a test that ran and failed: a program that never ran, or was
# killed after its verdict, is started once more; one that lingers 20 s after its verdict is ended and
# its verdict kept; a listing that lingers is started once more. The launcher says so on stderr each
# time. A program that ran and failed keeps its status at once; so does the second start.
set -uo pipefail
out=$(mktemp)
trap 'rm -f "$out"' EXIT
say() { echo "windows-test-launcher: $*" >&2; }
listing=0
for arg in "$@"; do [ "$arg" = --gtest_list_tests ] && listing=1; done
lastLine() { grep -v '^[[:space:]]*$' "$out" | tail -n 1; }
verdict() {   # 0 passed, 1 failed, 2 none yet
  local last; last=$(lastLine)
  if [[ $last =~ ^\[\ \ PASSED\ \ \]\ [0-9]+\ tests?\.$ ]]; then return 0; fi
  if [[ $last =~ ^\ *[0-9]+\ FAILED\ TESTS?$ ]]; then return 1; fi
  return 2
}
# Runs the program with its output in $out, ending it when it lingers 20 s after its last line.
# Sets status and lingered.
runOnce() {
  : >"$out"
  "$@" >"$out" &
  local pid=$! size=-1 quietTenths=0 now
  lingered=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.1
    now=$(stat -c %s "$out")
    if [ "$now" = "$size" ]; then quietTenths=$((quietTenths + 1)); else quietTenths=0; size=$now; fi
    if [ "$quietTenths" -ge 200 ] && [ -s "$out" ]; then
      if [ "$listing" = 1 ] || { verdict; [ $? -ne 2 ]; }; then
        kill -KILL "$pid" 2>/dev/null
        lingered=1
      fi
    fi
  done
  wait "$pid"
  status=$?
  cat "$out"
}
for attempt in 1 2; do
  runOnce "$@"
  if [ "$lingered" = 1 ] && [ "$listing" = 0 ]; then
    verdict
    kept=$?
    say "the program wrote its verdict and did not end within 20 s; ended it and kept its verdict: $*"
    exit "$kept"
  fi
  if [ "$status" -eq 0 ] && [ "$lingered" = 0 ]; then exit 0; fi
  if [ "$lingered" = 1 ]; then
    why="the program listed its tests and did not end within 20 s"
  elif [ ! -s "$out" ]; then
    why="the program ended with status $status before its main() wrote anything: Wine did not start it"
  elif [ "$status" -eq 137 ] && verdict; then
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
