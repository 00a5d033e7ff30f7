#!/usr/bin/env bash
# Checks check-layers.sh against a small source tree of its own: the includes that run up the layers
# are each found (quoted or in angle brackets, any __has_include name of a line), and library or
# system headers in angle brackets pass. Usage: check-layers-test.sh [CHECKER]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checker=${1:-$here/check-layers.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/records" "$work/src/core" "$work/src/feed"
cat >"$work/src/records/held.h" <<'EOF'
#include <vector>
#include <nlohmann/json.hpp>
#include "core/log.h"
#include <core/format.h>
#include <traffic/traffic_engine.h>
#if __has_include("core/a.h") && __has_include("app/b.h")
#endif
EOF
cat >"$work/src/feed/reader.cpp" <<'EOF'
#  include "records/held.h"
#if 0
#elif defined(X) || __has_include ( <simlink/c.h> )
#endif
EOF
: >"$work/src/core/log.h"

findings=""
finding() { findings+="$*"$'\n'; }
out=$(bash "$checker" "$work/src" 2>&1)
status=$?
[ "$status" = 1 ] || finding "status $status, wanted 1"
for wanted in "src/records/held.h:5: records/ may not include traffic/ (<traffic/traffic_engine.h>)" \
              "src/records/held.h:6: records/ may not include app/ (\"app/b.h\")" \
              "src/feed/reader.cpp:3: feed/ may not include simlink/ (<simlink/c.h>)"; do
  grep -qF "check-layers: $wanted" <<<"$out" || finding "not found: $wanted"
done
[ "$(grep -c 'may not include\|names no folder\|in no folder' <<<"$out")" = 3 ] || finding "other than the three faults"

if [ -n "$findings" ]; then
  printf '%s' "$findings"
  echo "check-layers-test: the checker's output was: $out" >&2
  exit 1
fi
echo "check-layers-test: every fault found, nothing else"
