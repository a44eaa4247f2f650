#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it as a user gets it: its control
# fields and dependencies, the files it installs, and the two programs started from an
# unpacked copy (the window in Qt's offscreen platform and, when Xvfb is there, on an X server,
# against the packaged simulator). Needs no root.
# Usage: package_test.sh CPACK BUILD_DIR WORK_DIR SOURCE_DIR VERSION
set -euo pipefail

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Starts the unpacked window and checks that it is still running after two seconds, with
# nothing on stderr, then ends it with SIGTERM. Extra arguments run before the program
# (environment settings). Sets app_pid while it runs.
app_pid=
run_window() {
    local label=$1 err=$work/$1.err
    shift
    env "$@" ZEPHRA_PORTS="$ports" "$root/usr/bin/zephra" >"$work/$label.out" 2>"$err" &
    app_pid=$!
    sleep 2
    if [ -n "${x11_check:-}" ]; then
        $x11_check
    fi
    local status=0
    if kill -0 "$app_pid" 2>/dev/null; then
        kill -TERM "$app_pid"
        wait "$app_pid" || status=$?
        # 143: ended by the signal, as asked.
        [ "$status" -eq 143 ] || [ "$status" -eq 0 ] || fail "$label: exit status $status after SIGTERM"
    else
        wait "$app_pid" || status=$?
        fail "$label: the window ended by itself within 2 s (status $status)"
    fi
    app_pid=
    if [ -s "$err" ]; then
        fail "$label: the window wrote to stderr:"
        cat "$err" >&2
    fi
}

# On an X server: the window is mapped with its caption, carries the 32 x 32 icon, and its
# WM_CLASS is the menu entry's name, by which desktops match the two.
check_x11_window() {
    local id=
    for _ in $(seq 1 50); do
        id=$(xwininfo -root -tree | awk '/"ZEPHRA 2\.4 GHz \(RS232 <---> Wireless Converter\)/ { print $1; exit }')
        [ -n "$id" ] && break
        sleep 0.1
    done
    if [ -z "$id" ]; then
        fail "x11: no window with the program's caption"
        return
    fi
    local props
    props=$(xprop -id "$id" -notype WM_CLASS _NET_WM_ICON)
    grep -q '^WM_CLASS = "zephra", ' <<<"$props" || fail "x11: WM_CLASS is not zephra: $(grep WM_CLASS <<<"$props")"
    grep -q 'Icon (32 x 32)' <<<"$props" || fail "x11: the window shows no 32 x 32 icon"
}

# Re-entered under xvfb-run with the same work directory.
if [ "${1:-}" = --x11 ]; then
    work=$2 root=$2/root ports=$2/ports
    export XDG_RUNTIME_DIR=$work/runtime
    x11_check=check_x11_window
    run_window x11 QT_QPA_PLATFORM=xcb
    exit $((failures > 0))
fi

cpack=$1 build=$2 work=$3 source=$4 version=$5
rm -rf "$work"
mkdir -p "$work"

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/out/zephra_${version}-1_${arch}.deb
if [ ! -f "$deb" ]; then
    echo "FAIL: no $(basename "$deb"); cpack made:" "$work"/out/*.deb >&2
    exit 1
fi

# --- control fields ---
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zephra ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version-1" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = electronics ] || fail "Section: $(field Section)"
grep -Eq '^[^<>]+ <[^@ ]+@[^> ]+>$' <<<"$(field Maintainer)" || fail "Maintainer: $(field Maintainer)"
[ -n "$(field Description)" ] || fail "no Description"

depends=$(field Depends)
echo "Depends: $depends"
# The libraries the programs link, whatever their Debian 12 or later (t64) names, the font the
# window asks for, and the package that holds Qt's X11 platform plugin here.
needed=(libc6 libstdc++6 libgcc-s1 libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo
    fonts-liberation)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
xcb_plugin=/usr/lib/$multiarch/qt6/plugins/platforms/libqxcb.so
if xcb_owner=$(dpkg-query -S "$xcb_plugin" 2>/dev/null); then
    needed+=("${xcb_owner%%:*}")
else
    fail "Qt's X11 platform plugin $xcb_plugin belongs to no installed package"
fi
for package in "${needed[@]}"; do
    pattern=$(sed 's/[+.]/\\&/g' <<<"${package%t64}")
    grep -Eq "(^|[,|] *)$pattern(t64)?( |,|$)" <<<"$depends" || fail "Depends lacks $package"
done
# Every dependency is met on this machine, which runs the programs below: a misspelt name or
# a version nobody has shows up here.
unmet=$(bash "$(dirname "$0")/dependencies_met.sh" "$depends" "$arch") || fail "$unmet"

# --- files: exactly these, owned by root ---
sizes=(16 32 48 64 128 256)
expected=(./usr/bin/zephra ./usr/bin/zephra-sim ./usr/bin/zephra-cli
    ./usr/share/applications/zephra.desktop ./usr/share/man/man1/zephra.1.gz
    ./usr/share/man/man1/zephra-sim.1.gz ./usr/share/man/man1/zephra-cli.1.gz)
for size in "${sizes[@]}"; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/zephra.png")
done
listing=$(dpkg-deb -c "$deb")
if ! diff <(printf '%s\n' "${expected[@]}" | sort) \
    <(awk '$1 !~ /^d/ { print $6 }' <<<"$listing" | sort) >"$work/files.diff"; then
    fail "installed files differ from the expected ones (< expected, > packaged):"
    cat "$work/files.diff" >&2
fi
awk '$2 != "root/root" { print "FAIL: not owned by root: " $6; bad = 1 } END { exit bad }' \
    <<<"$listing" >&2 || failures=$((failures + 1))
for program in zephra zephra-sim zephra-cli; do
    grep -Eq "^-rwxr-xr-x .* \./usr/bin/$program$" <<<"$listing" || fail "$program is not mode 0755"
done

root=$work/root
dpkg-deb -x "$deb" "$root"

for program in zephra zephra-sim zephra-cli; do
    if readelf -d "$root/usr/bin/$program" | grep -Eq '\((RPATH|RUNPATH)\)'; then
        fail "$program carries a library search path"
    fi
    if readelf -S "$root/usr/bin/$program" | grep -q '\.debug_info'; then
        fail "$program is not stripped"
    fi
done

# --- menu entry: valid, and it names the packaged program and icon ---
desktop=$root/usr/share/applications/zephra.desktop
if command -v desktop-file-validate >/dev/null; then
    report=$(desktop-file-validate "$desktop" 2>&1) || true
    [ -z "$report" ] || fail "desktop-file-validate: $report"
else
    echo "note: desktop-file-validate not found; the menu entry is not validated"
fi
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not a packaged program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "Icon=$icon is not packaged"

# --- icons: the size their folder says, and made from the program's current icon ---
for size in "${sizes[@]}"; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/zephra.png
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [ "$width $height" = "$size $size" ] || fail "${size}x${size} icon is ${width}x${height}"
done
if command -v python3 >/dev/null; then
    python3 "$source/resources/draw-icons.py" "$work/icons"
    for size in "${sizes[@]}"; do
        cmp -s "$work/icons/${size}x${size}/zephra.png" \
            "$root/usr/share/icons/hicolor/${size}x${size}/apps/zephra.png" ||
            fail "${size}x${size} icon is stale: run resources/draw-icons.py"
    done
fi

# --- manual pages: whole, formatted without warnings, with this version ---
for page in zephra zephra-sim zephra-cli; do
    man=$root/usr/share/man/man1/$page.1.gz
    if ! gzip -t "$man" 2>/dev/null; then
        fail "$page.1.gz is no gzip file"
        continue
    fi
    zcat "$man" | grep -q "^\.TH .*\"zephra $version\"" || fail "$page.1 does not carry version $version"
    command -v groff >/dev/null || fail "groff is needed to check $page.1 (package groff-base)"
    warnings=$(zcat "$man" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1) || true
    [ -z "$warnings" ] || fail "$page.1: $warnings"
done

# --- the programs, unpacked: the simulator published as COM1, then the window ---
ports=$work/ports
mkdir -p "$ports"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
"$root/usr/bin/zephra-sim" --ports "$ports" --name COM1 >"$work/sim.log" 2>&1 &
sim_pid=$!
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    kill "$sim_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 1 100); do
    grep -q '^ready' "$work/sim.log" && break
    sleep 0.05
done
if ! grep -q '^ready' "$work/sim.log" || [ ! -L "$ports/COM1" ]; then
    fail "the packaged simulator did not publish COM1:"
    cat "$work/sim.log" >&2
fi

cli_out=$(ZEPHRA_PORTS=$ports "$root/usr/bin/zephra-cli" read COM1 2>&1) ||
    fail "the packaged zephra-cli could not read COM1: $cli_out"
grep -qx 'firmware=ZEPHRA24 V1.0A' <<<"$cli_out" || fail "zephra-cli read COM1 printed: $cli_out"

run_window offscreen QT_QPA_PLATFORM=offscreen
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null && command -v xprop >/dev/null; then
    xvfb-run -a bash "$0" --x11 "$work" || failures=$((failures + 1))
else
    echo "note: xvfb-run, xwininfo or xprop not found; the window is not tried on an X server"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package $(basename "$deb") passed"
