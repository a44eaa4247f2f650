#!/usr/bin/env bash
# Floods the Windows test tab under Wine through a pseudo-terminal mapped as COM13, beside the
# Linux test tab's figure from the same machine and run. Needs scripts/windows and
# scripts/build first. Usage: bench/win32-terminal-flood.sh [MiB, default 10]
# ZEPHRA_FLOOD_EXE names another build's win32_terminal_flood.exe (to compare two builds).
# Every byte under Wine is a chain of wake-ups between the program, Wine's server and the
# pseudo-terminal, and on a virtual machine an idle processor's wake-up costs more than the work
# it wakes for. As latency benchmarks do, the run holds the processors out of their idle states
# (/dev/cpu_dma_latency at 0, where the user may write it); ZEPHRA_FLOOD_IDLE=1 leaves them be.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-10}
if [ "${ZEPHRA_FLOOD_IDLE:-0}" != 1 ] && [ -w /dev/cpu_dma_latency ]; then
  # The request holds while the file stays open.
  python3 -c 'import os, struct, time
fd = os.open("/dev/cpu_dma_latency", os.O_WRONLY)
os.write(fd, struct.pack("i", 0))
time.sleep(3600)' &
  holder=$!
  trap 'kill $holder' EXIT
  echo "processors held out of their idle states for the run"
else
  echo "processors free to idle: the figures include their wake-up latency"
fi
export WINEPREFIX=$root/build-windows/wine64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bench=${ZEPHRA_FLOOD_EXE:-$root/build-windows/x86_64/win32_terminal_flood.exe}
preload=$root/build-windows/wine-pty-ioctl.so
# The window needs a display of its own, as the window tests have.
with_display=$root/tests/framework/win32/with-display.sh
python3 - "$bench" "$preload" "$mib" "$WINEPREFIX/dosdevices/com13" "$with_display" <<'PY'
import os, pty, subprocess, sys, tty
bench, preload, mib, link, with_display = sys.argv[1:3] + [int(sys.argv[3])] + sys.argv[4:6]
master, slave = pty.openpty()
tty.setraw(slave)
if os.path.lexists(link):
    os.remove(link)
os.symlink(os.ttyname(slave), link)
env = dict(os.environ, LD_PRELOAD=preload)
proc = subprocess.Popen(["bash", with_display, "/usr/lib/wine/wine64", bench,
                         "COM13", str(mib)], stdout=subprocess.PIPE, env=env, text=True)
if proc.stdout.readline().strip() != "ready":
    sys.exit("the Windows test tab did not open COM13")
line = ("0123456789abcdefghijklmnopqrstuvwxyz" * 3)[:78].encode() + b"\r\n"
block = line * 820
left = mib * 1048576 // 80
while left > 0:
    n = min(left, 820)
    os.write(master, block[: n * 80])
    left -= n
print(proc.stdout.read().strip())
proc.wait()
os.remove(link)
PY
echo "Linux test tab, same machine:"
QT_QPA_PLATFORM=offscreen "$root/build/bench/terminal_receive" --end-to-end "$mib" | grep -E "test tab:|=>"
