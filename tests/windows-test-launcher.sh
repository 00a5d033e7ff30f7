#!/usr/bin/env bash
# Starts one Windows test program under Wine for ctest.
# Usage: windows-test-launcher.sh [--log FILE] WINE... PROGRAM ARGS...
# Wine now and then fails a program that never ran or that had ended: it ends a program before its
# main() runs (a failure status and nothing on stdout; the test build runs Wine without address
# randomisation, which removes the known cause, but a system may refuse that); on a busy machine its
# server kills a program (SIGKILL) that is slow to leave after its last thread ended; and, rarely, a
# program that has written its last line never leaves at all (seen also for a program that only listed
# its tests and so had started no thread: Wine's own process end, not the program); and, rarely, a
# program that wrote its passing verdict ends with a failing status other than SIGKILL's (seen once in
# twenty runs of the unit label for a test that passes alone every time, and not brought back by a
# reader thread kept alive through the program's end). Every test program writes to stdout once its
# main() runs (GoogleTest's first lines) and ends its output with GoogleTest's verdict, so each case is
# told from a test that ran and failed: a program that never ran, was killed or failed after its
# passing verdict, or lingered after its passing verdict or its listing is started once more; the
# second start's outcome stands (a program that fails at its end each time fails in its own code), and
# a second lingering fails: a program that hangs at its end each time hangs in its own code. One that failed keeps its status at once (ended if it lingers).
# Programs built for Windows end their lines with CR LF: lines are judged without their CR.
# Only the last start's output reaches stdout (test discovery reads a listing from it). Each start
# once more and each lingering end is said on stderr and written as one line to the --log file
# (scripts/test-windows sums them up after the run). VARNEL_LAUNCHER_QUIET_SECONDS (default 20) is how
# long a program may stay silent after its last line before it counts as lingering.
set -uo pipefail
log=/dev/null
if [ "${1:-}" = --log ]; then log=$2; shift 2; fi
quietTenthsLimit=$((${VARNEL_LAUNCHER_QUIET_SECONDS:-20} * 10))
out=$(mktemp)
trap 'rm -f "$out"' EXIT
say() { echo "windows-test-launcher: $*" >&2; }
listing=0
what=""
for arg in "$@"; do
  case $arg in
    --gtest_list_tests) listing=1 ;;
    --gtest_filter=*) what=${arg#--gtest_filter=} ;;
  esac
done
program=""
for arg in "$@"; do case $arg in *.exe|*.EXE) program=${arg##*/}; break ;; esac; done
[ -n "$program" ] || program=${!#}
[ "$listing" = 1 ] && what="listing of its tests"
# One line per event: what happened (a word), the program, the test.
note() { printf '%s\t%s\t%s\n' "$1" "$program" "${what:-all tests}" >>"$log" 2>/dev/null || true; }
# GoogleTest's last words, without CR and blank lines; a note on disabled tests may follow the verdict.
lastLine() { tr -d '\r' <"$out" | grep -v -e '^[[:space:]]*$' -e '^ *YOU HAVE [0-9]* DISABLED TESTS\?$' | tail -n 1; }
verdict() {   # 0 passed, 1 failed, 2 none yet
  local last; last=$(lastLine)
  if [[ $last =~ ^\[\ \ PASSED\ \ \]\ [0-9]+\ tests?\.$ ]]; then return 0; fi
  if [[ $last =~ ^\ *[0-9]+\ FAILED\ TESTS?$ ]]; then return 1; fi
  return 2
}
# Runs the program with its output in $out, ending it when it lingers after a verdict (or, for a
# listing, after any output). Sets status and lingered.
runOnce() {
  : >"$out"
  "$@" >"$out" 2>&3 &
  local pid=$! size=-1 quietTenths=0 now
  lingered=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.1
    now=$(stat -c %s "$out")
    if [ "$now" = "$size" ]; then quietTenths=$((quietTenths + 1)); else quietTenths=0; size=$now; fi
    if [ "$quietTenths" -ge "$quietTenthsLimit" ] && [ -s "$out" ]; then
      if [ "$listing" = 1 ] || { verdict; [ $? -ne 2 ]; }; then
        kill -KILL "$pid" 2>/dev/null
        lingered=1
      fi
    fi
  done
  wait "$pid"
  status=$?
}
finish() { cat "$out"; exit "$1"; }
for attempt in 1 2; do
  # The program's stderr goes on to ctest; the shell's word on a job it killed does not.
  runOnce "$@" 3>&2 2>/dev/null
  if [ "$lingered" = 0 ] && [ "$status" -eq 0 ]; then finish 0; fi
  if [ "$lingered" = 1 ]; then
    if [ "$listing" = 0 ]; then
      verdict
      kept=$?
      if [ "$kept" != 0 ]; then
        note lingered-failed
        say "the program wrote a failing verdict and did not end within ${VARNEL_LAUNCHER_QUIET_SECONDS:-20} s; ended it: $*"
        finish "$kept"
      fi
      why="the program passed and did not end within ${VARNEL_LAUNCHER_QUIET_SECONDS:-20} s of its verdict"
    else
      why="the program listed its tests and did not end within ${VARNEL_LAUNCHER_QUIET_SECONDS:-20} s"
    fi
    event=lingered
  elif [ ! -s "$out" ]; then
    why="the program ended with status $status before its main() wrote anything: Wine did not start it"
    event=never-ran
  elif [ "$status" -eq 137 ] && verdict; then
    why="the program passed and was then killed (SIGKILL) while it ended, as Wine's server does with a program that has not left a second after its last thread"
    event=killed-after-passing
  elif verdict; then
    # A fault of the program's own at its end (a destructor, a thread left running) fails it so again.
    why="the program passed and then ended with status $status"
    event=failed-after-passing
  else
    finish "$status"
  fi
  if [ "$attempt" -eq 2 ]; then
    note "$event-again"
    if [ "$lingered" = 1 ]; then
      say "$why, the second time too: it hangs at its end (a thread or a destructor that does not end?)"
      finish 1
    fi
    say "$why, the second time too"
    finish "$status"
  fi
  note "$event"
  say "$why; starting it once more: $*"
done
