#!/usr/bin/env bash
# The Windows program end to end under Wine: Varnel.exe in a program folder of its own with the
# stand-in SimConnect.dll beside it (the library it loads beside the real simulator), fed by the
# RealTraffic stand-in over loopback. The simulator's trace must show aircraft created, moved and all
# removed at the exit; a second run without the DLL must say on its status line where it was looked for.
# The first run lasts 75 s: Wine starts slowly, and aircraft are created one at a time after the first
# traffic. Usage: windows_e2e.sh WINDOWS_BUILD_DIR EMULATOR...
set -euo pipefail
build=$(cd "${1:?usage: windows_e2e.sh BUILD_DIR EMULATOR...}" && pwd)
shift
emulator=("$@")
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${VARNEL_E2E_SECONDS:-75}

stage=$(mktemp -d "$build/e2e-windows.XXXXXX")
feed_pid=
cleanup() {
  if [ -n "$feed_pid" ]; then kill "$feed_pid" 2>/dev/null || true; wait "$feed_pid" 2>/dev/null || true; fi
  rm -rf "$stage"
}
trap cleanup EXIT
fail() {
  echo "windows_e2e: $*" >&2
  for f in "$stage/run.out" "$stage/program/Log.txt"; do [ -f "$f" ] && { echo "--- $f" >&2; tail -40 "$f" >&2; }; done
  exit 1
}
# Wine maps Z: to the root of this file system.
win() { printf 'Z:%s' "${1//\//\\}"; }

program=$stage/program config=$stage/config data_home=$stage/data
packages="$config/Microsoft Flight Simulator/Packages"
mkdir -p "$program" "$config/Varnel" "$config/InsideSystems" "$data_home" "$stage/sim" "$packages"
"${emulator[@]}" "$build/tools/varnel-data.exe" all --source "$(win "$root/data")" --program "$(win "$program")" \
  --packages "$(win "$packages")" >/dev/null || fail "varnel-data failed"
cp -r "$root/docs" "$program/docs"
cp "$root/data/demo/scenario.json" "$stage/sim/scenario.json"
touch "$config/InsideSystems/RealTraffic.jar"
cp "$build/src/Varnel.exe" "$program/Varnel.exe"
cp "$build/src/SimConnect.dll" "$program/SimConnect.dll"

# Three free loopback ports in a row: TCP for the link, UDP for weather and traffic; drawn where every
# test draws its ports (tests/support/test_support.h: 20000 to 32099), below the ephemeral ranges.
base=$(python3 - <<'PY'
import random, socket
for _ in range(200):
    base = random.randrange(20000, 32099 - 2 + 1)
    try:
        t = socket.socket(); t.bind(("127.0.0.1", base))
        u1 = socket.socket(type=socket.SOCK_DGRAM); u1.bind(("127.0.0.1", base + 1))
        u2 = socket.socket(type=socket.SOCK_DGRAM); u2.bind(("127.0.0.1", base + 2))
        for s in (t, u1, u2): s.close()
        print(base); break
    except OSError:
        pass
PY
)
cat >"$config/Varnel/parameters.xml" <<XML
<?xml version="1.0"?>
<parameters>
	<parameter name="PORT_NUMBER" value="$base" />
</parameters>
XML

# Wine sets APPDATA and LOCALAPPDATA from its profile for a process started from Linux, so they are
# set inside Wine, by cmd, for the program it starts.
run_varnel() { # seconds output-file
  (cd "$program" && VARNEL_HEADLESS=1 VARNEL_RUN_SECONDS=$1 VARNEL_SIM_SCENARIO="$(win "$stage/sim/scenario.json")" \
    VARNEL_SIM_TRACE="$(win "$stage/sim/trace.jsonl")" VARNEL_WEATHER_PORT=$((base + 1)) \
    VARNEL_TRAFFIC_PORT=$((base + 2)) VARNEL_DOWNLOAD_URL=http://127.0.0.1:9/ \
    "${emulator[@]}" cmd /c "set APPDATA=$(win "$config")&& set LOCALAPPDATA=$(win "$data_home")&& Varnel.exe" \
    >"$2" 2>&1)
}

"${emulator[@]}" "$build/tools/rtfeed.exe" --tcp-port "$base" --traffic-port $((base + 2)) \
  --weather-port $((base + 1)) --record "$(win "$stage/feed.rec")" \
  --scene "$(win "$root/tests/data/e2e/scene.txt")" >"$stage/rtfeed.log" 2>&1 &
feed_pid=$!

set +e
run_varnel "$seconds" "$stage/run.out"
rc=$?
set -e
[ "$rc" -eq 0 ] || fail "Varnel.exe ended with $rc"
grep -q "SimConnect.dll loaded from" "$program/Log.txt" || fail "the stand-in SimConnect.dll was not loaded"
# Windows grants the receive buffer asked for: a relay's burst of thousands of datagrams fits.
granted=$(sed -n 's/.*Traffic Reader receive buffer: \([0-9]*\) KB granted.*/\1/p' "$program/Log.txt" | head -n 1)
[ -n "$granted" ] && [ "$granted" -ge 8192 ] || fail "no receive buffer of 8192 KB granted to the Traffic Reader (${granted:-not logged})"
python3 - "$stage/sim/trace.jsonl" <<'PY' || fail "the trace does not show the aircraft created, moved and removed"
import json, math, sys
created, removed, first, moved, last = set(), set(), {}, set(), []
for line in open(sys.argv[1]):
    j = json.loads(line)
    if "event" in j:
        if j["event"] == "created": created.add(j["id"])
        if j["event"] in ("removed", "removedWithClient"): removed.add(j["id"])
        continue
    last = [o for o in j["objects"] if not o.get("user", False)]
    for o in last:
        p = first.setdefault(o["id"], (o["lat"], o["lon"]))
        if math.hypot(o["lat"] - p[0], o["lon"] - p[1]) > 0.0005: moved.add(o["id"])
print(f"created {len(created)}, moved {len(moved)}, removed {len(removed & created)}, left {len(last)}")
sys.exit(0 if created and moved and created <= removed and not last else 1)
PY

# Without the library: the run keeps its window (here: the status line) and says where it looked.
rm "$program/SimConnect.dll"
set +e
run_varnel 5 "$stage/missing.out"
rc=$?
set -e
grep -q "Error SimConnect.dll was not found beside Varnel.exe" "$stage/missing.out" ||
  { cat "$stage/missing.out" >&2; fail "no clear error without SimConnect.dll"; }
[ "$rc" -eq 1 ] || fail "Varnel.exe without SimConnect.dll ended with $rc, not the error status 1"
echo "windows_e2e: passed"
