#!/usr/bin/env bash
# Floods the Windows test tab under Wine through a pseudo-terminal mapped as COM13, beside the
# Linux test tab's figure from the same machine and run. Needs scripts/windows and
# scripts/build first. Usage: bench/win32-terminal-flood.sh [MiB, default 10]
# ZEPHRA_FLOOD_EXE names another build's win32_terminal_flood.exe (to compare two builds).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-10}
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
