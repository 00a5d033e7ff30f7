#!/usr/bin/env bash
# Runs a command with DISPLAY on an X server of its own: Xvfb picks a free display number itself and
# tells it when it is ready, so parallel runs never race for one. Usage: with-x-server.sh COMMAND...
set -euo pipefail
dir=$(mktemp -d)
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$dir"' EXIT
# Xvfb tells its display number once it is ready; nothing read means it did not start.
read -r number <"$dir/display" || { echo "with-x-server: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$number" "$@"
