#!/usr/bin/env bash
# Under Wine, zephra-cli.exe reads a simulated module and gives up on a silent one, and the
# serial component's echo test talks to one at RUN: zephra-sim's pty is COM12 in $WINEPREFIX,
# with the ioctl library preloaded. Skipped (status 77) without the simulator or the library.
# Usage: sim-under-wine.sh WINE ZEPHRA-CLI.EXE COMPORTECHO.EXE ZEPHRA-SIM PTY-IOCTL.SO
set -euo pipefail
wine=$1 cli=$2 echo_test=$3 sim=$4 preload=$5
for needed in "$sim" "$preload"; do
  [ -f "$needed" ] || { echo "skipped: $needed is not built (scripts/build, scripts/windows)"; exit 77; }
done
work=$(mktemp -d)
link=$WINEPREFIX/dosdevices/com12
sim_pid=
stop_sim() {
  [ -z "$sim_pid" ] || { kill "$sim_pid" && wait "$sim_pid" || true; }
  sim_pid=
}
trap 'stop_sim; rm -rf "$link" "$work"' EXIT
# start_sim ARGS...: a module on a new pty, mapped as COM12.
start_sim() {
  stop_sim
  rm -f "$work/sim.out"
  mkfifo "$work/sim.out"
  "$sim" --ports "$work" --name COM1 "$@" >"$work/sim.out" &
  sim_pid=$!
  # Kept open while the module runs: it must never write to a pipe without a reader.
  exec 3<"$work/sim.out"
  local pty ready
  read -r pty <&3
  read -r ready <&3
  [ "$ready" = ready ] || { echo "the simulator did not start: $pty $ready"; exit 1; }
  ln -sfn "$pty" "$link"
}

start_sim --firmware "WINE-TEST V1.0" --set 4=42 --set 5=171
LD_PRELOAD=$preload "$wine" "$cli" read COM12 >"$work/read.txt"
for expected in "WINE-TEST V1.0" "channel=42" "rx-id=AB"; do
  grep -qF "$expected" "$work/read.txt" || { cat "$work/read.txt"; echo "missing: $expected"; exit 1; }
done

# A module that never answers: each read ends at its time-out (status 3), not an error.
start_sim --silent
status=0
LD_PRELOAD=$preload "$wine" "$cli" read COM12 || status=$?
[ "$status" = 3 ] || { echo "a silent module gave status $status, not 3"; exit 1; }

start_sim --switch run
ZEPHRA_TEST_PORT=COM12 LD_PRELOAD=$preload "$wine" "$echo_test"
