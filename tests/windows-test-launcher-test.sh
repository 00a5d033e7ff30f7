#!/usr/bin/env bash
# Checks windows-test-launcher.sh against stand-in programs, one per case it tells apart, each with
# Windows (CR LF) and Linux (LF) line ends: its status, how often it started the program, what it
# printed and what it wrote to its log. Usage: windows-test-launcher-test.sh [LAUNCHER]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# The stand-in program: STARTS_FILE counts its starts; CASE says what each start does.
if [ "${1:-}" = --standin ]; then
  case_=$2 eol=$3 starts=$4
  n=$(($(cat "$starts" 2>/dev/null || echo 0) + 1))
  echo "$n" >"$starts"
  say() { printf '%s%s\n' "$1" "$eol"; }
  pass() { say "[----------] start $n"; say "[       OK ] Suite.Case (0 ms)"; say ""; say "[  PASSED  ] 1 test."; }
  fail() { say "[----------] start $n"; say "[  FAILED  ] Suite.Case"; say ""; say " 1 FAILED TEST"; }
  linger() { exec sleep 600; }   # ended by the launcher, SIGKILL on this very process
  case $case_:$n in
    passes:*) pass ;;
    fails:*) fail; exit 1 ;;
    never-runs-once:1 | never-runs:*) exit 3 ;;
    never-runs-once:*) pass ;;
    killed-after-passing-once:1) pass; kill -KILL $$ ;;
    killed-after-passing-once:*) pass ;;
    fails-after-passing-once:1) pass; exit 5 ;;
    fails-after-passing-once:*) pass ;;
    fails-after-passing:*) pass; exit 5 ;;
    killed-before-its-verdict:*) say "[ RUN      ] Suite.Case"; kill -KILL $$ ;;
    lingers-once:1) pass; linger ;;
    lingers-once:*) pass ;;
    lingers:*) pass; linger ;;
    lingers-with-disabled-tests-once:1) pass; say ""; say "  YOU HAVE 1 DISABLED TEST"; say ""; linger ;;
    lingers-with-disabled-tests-once:*) pass ;;
    fails-and-lingers:*) fail; linger ;;
    listing-lingers-once:1) say "Suite."; say "  Case"; linger ;;
    listing-lingers-once:*) say "Suite."; say "  Case" ;;
  esac
  exit 0
fi

launcher=${1:-$here/windows-test-launcher.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A lingering start is ended after this long; a start that ends by itself never comes near it.
export VARNEL_LAUNCHER_QUIET_SECONDS=5
# The longest case (two lingering starts) takes about twice the quiet time.
runLimitSeconds=40

# One case: CASE EOL-NAME EXPECTED-STATUS EXPECTED-STARTS EXPECTED-LOG-EVENTS (space-separated) and
# the line of start N that must be in the output once, with no other start's output. Writes its
# findings to $dir/findings; an empty file means it held.
check() {
  local case_=$1 eolName=$2 wantStatus=$3 wantStarts=$4 wantEvents=$5 wantStart=$6
  local eol="" args=(--gtest_filter=Suite.Case)
  [ "$eolName" = crlf ] && eol=$'\r'
  [[ $case_ == listing-* ]] && args=(--gtest_list_tests)
  local dir=$work/$case_-$eolName
  mkdir -p "$dir"
  cp "$0" "$dir/tests_standin.exe"
  # Bounded, so that a launcher that never ends a lingering stand-in still has its findings printed:
  # timeout ends the launcher and the stand-ins it started (their process group) alike.
  timeout -k 5 "$runLimitSeconds" bash "$launcher" --log "$dir/log" bash "$dir/tests_standin.exe" --standin \
    "$case_" "$eol" "$dir/starts" "${args[@]}" >"$dir/out" 2>"$dir/err"
  local status=$? starts events
  if [ "$status" = 124 ]; then
    echo "$case_ ($eolName): the launcher did not end within $runLimitSeconds s; ended"
  fi
  starts=$(cat "$dir/starts" 2>/dev/null || echo 0)
  events=$(cut -f1 "$dir/log" 2>/dev/null | paste -sd ' ')
  {
    [ "$status" = "$wantStatus" ] || echo "status $status, wanted $wantStatus"
    [ "$starts" = "$wantStarts" ] || echo "started $starts times, wanted $wantStarts"
    [ "$events" = "$wantEvents" ] || echo "log events '$events', wanted '$wantEvents'"
    if [ -n "$wantEvents" ] && grep -qv $'^[a-z-]*\ttests_standin.exe\t' "$dir/log" 2>/dev/null; then
      echo "log lines do not name the program: $(cat "$dir/log")"
    fi
    if [ "$wantStart" != - ]; then
      local lines; lines=$(tr -d '\r' <"$dir/out" | grep -c '^\[----------\] start\|^Suite\.$')
      [ "$lines" = 1 ] || echo "output holds $lines starts' output, wanted only the last one's"
      tr -d '\r' <"$dir/out" | grep -qx "\[----------\] start $wantStart\|Suite\." ||
        echo "output is not start $wantStart's"
    fi
    [ "$wantEvents" = "" ] || [ -s "$dir/err" ] || echo "nothing said on stderr"
  } >"$dir/findings"
  if [ -s "$dir/findings" ]; then sed "s/^/$case_ ($eolName): /" "$dir/findings"; fi
}

cases=(
  # case                             status starts log events                    output of start
  "passes                            0 1 ''                                      1"
  "fails                             1 1 ''                                      1"
  "killed-before-its-verdict         137 1 ''                                    -"
  "never-runs-once                   0 2 'never-ran'                             2"
  "never-runs                        3 2 'never-ran never-ran-again'             -"
  "killed-after-passing-once         0 2 'killed-after-passing'                  2"
  "fails-after-passing-once          0 2 'failed-after-passing'                  2"
  "fails-after-passing               5 2 'failed-after-passing failed-after-passing-again' 2"
  "lingers-once                      0 2 'lingered'                              2"
  "lingers-with-disabled-tests-once  0 2 'lingered'                              2"
  "lingers                           1 2 'lingered lingered-again'               2"
  "fails-and-lingers                 1 1 'lingered-failed'                       1"
  "listing-lingers-once              0 2 'lingered'                              2"
)
# The cases run side by side: the lingering ones wait out the quiet time.
for eolName in lf crlf; do
  for c in "${cases[@]}"; do
    eval "check $(echo "$c" | awk '{print $1}') $eolName $(echo "$c" | cut -d' ' -f2-)" >"$work/report-$(echo "$c" | awk '{print $1}')-$eolName" &
  done
done
wait
failures=$(cat "$work"/report-*)
if [ -n "$failures" ]; then
  echo "$failures"
  echo "windows-test-launcher-test: $(echo "$failures" | wc -l) findings" >&2
  exit 1
fi
echo "windows-test-launcher-test: ${#cases[@]} cases, LF and CR LF, as wanted"
