#!/usr/bin/env bash
# Under Wine, zephra-cli.exe reads a simulated module and gives up on a silent one, and the
# serial component's echo test talks to one at RUN: zephra-sim's pty is COM12 in $WINEPREFIX,
# with the ioctl library preloaded. Skipped (status 77) without the simulator or the library.
# The window's scenarios run there too, on a display of their own.
# Usage: sim-under-wine.sh WINE ZEPHRA-CLI.EXE COMPORTECHO.EXE WINDOWSCENARIOS.EXE ZEPHRA-SIM
#        PTY-IOCTL.SO
set -euo pipefail
wine=$1 cli=$2 echo_test=$3 window_test=$4 sim=$5 preload=$6
with_display=$(dirname "$0")/../framework/win32/with-display.sh
for needed in "$sim" "$preload"; do
  [ -f "$needed" ] || { echo "skipped: $needed is not built (scripts/build, scripts/windows)"; exit 77; }
done
work=$(mktemp -d)
links=("$WINEPREFIX"/dosdevices/com{12,27})
map='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' server=${wine%/*}/wineserver own_server=false
sim_pid=
stop_sim() {
  [ -z "$sim_pid" ] || { kill "$sim_pid" && wait "$sim_pid" || true; }
  sim_pid=
}
trap 'stop_sim; rm -rf "${links[@]}" "$work"
  for n in 17 27; do "$wine" reg delete "$map" /v "\\Device\\Test$n" /f >/dev/null 2>&1 || true; done
  ! $own_server || "$server" -k' EXIT
# [port=N] start_sim ARGS...: a module on a new pty, mapped as COM12 (or COMN).
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
  rm -f "${links[@]}"
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com${port:-12}"
}

# Ports above COM16 come from the device map in number order, unopened: COM17 leads nowhere.
# The map lives as long as Wine's server: kept up here, its services apart from the output.
"$server" -p >/dev/null 2>&1 </dev/null && own_server=true
"$wine" cmd.exe /c exit >/dev/null 2>&1 </dev/null
for n in 27 17; do "$wine" reg add "$map" /v "\\Device\\Test$n" /t REG_SZ /d "COM$n" /f >/dev/null; done
port=27 start_sim --firmware "WINE-TEST V1.0" --set 4=42 --set 5=171
listed=$("$wine" "$cli" ports | tr -d '\r' | awk -F'\t' '/^COM(17|27)\t/ { print $1 "\t" $3 }')
[ "$listed" = $'COM17\tlisted\nCOM27\tlisted' ] || { echo "listed: $listed"; exit 1; }
LD_PRELOAD=$preload "$wine" "$cli" read COM27 >"$work/read.txt"
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

# The window: start states, "Open", "READ CONFIG" and "SAVE CONFIG" against a module holding
# the scenarios' settings with the exact frames on the wire (on COM27), then "Open" against a
# silent one.
port=27 start_sim --verbose --set 0=4 --set 1=1 --set 2=0 --set 3=2 --set 4=100 --set 5=10 \
  --set 7=171 2>"$work/frames.log"
ZEPHRA_TEST_PORT=COM27 LD_PRELOAD=$preload bash "$with_display" "$wine" "$window_test" \
  --gtest_filter='*Answering*'
sleep 0.3 # the module logs what it received every 0.1 s
stop_sim
expected=""
read_sequence="000800:08 000000:00 000100:01 000200:02 000300:03 000400:04 000500:05 000700:07"
# "Open", then "READ CONFIG", then "SAVE CONFIG" with the channel at 7 and transmitter ID 05.
for digits in $read_sequence $read_sequence \
  010004:05 010101:01 010200:03 010302:00 010407:02 01050A:0E 010705:03; do
  expected+="zephra-sim: command <02>${digits%:*}<03>${digits#*:}<0D><0A>"$'\n'
done
received=$(grep -E '^zephra-sim: (command|rejected) ' "$work/frames.log" || true)
[ "$received"$'\n' = "$expected" ] || { printf 'frames received:\n%s\n' "$received"; exit 1; }
start_sim --silent
ZEPHRA_TEST_PORT=COM12 LD_PRELOAD=$preload bash "$with_display" "$wine" "$window_test" \
  --gtest_filter='*Silent*'
start_sim --switch run
ZEPHRA_TEST_PORT=COM12 LD_PRELOAD=$preload bash "$with_display" "$wine" "$window_test" \
  --gtest_filter='*Echo*'
