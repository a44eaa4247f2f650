#!/usr/bin/env bash
# Runs a command with a virtual X display of its own (Xvfb), for a test whose windows need one
# under Wine. Xvfb picks a free display and names it once it is ready.
set -euo pipefail
named=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$named" 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; rm -f "$named"' EXIT
for _ in $(seq 600); do
  [ -s "$named" ] && break
  kill -0 $server 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$named" ]; then
  echo "with-display: Xvfb did not start" >&2
  exit 1
fi
DISPLAY=:$(head -n 1 "$named") "$@"
