#!/usr/bin/env bash
# dependencies_met.sh on a machine with i386 beside amd64, through a dpkg-query that answers
# from a fixed list as the real one does: one formatted entry per installed architecture.
set -euo pipefail
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
cat >"$fake/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
format=${2#-f=}
case $3 in
libc6) entries=("amd64 installed 2.36-9" "i386 installed 2.36-9") ;;
libonly32) entries=("i386 installed 2.36-9") ;;
fonts-liberation) entries=("all installed 1:1.07.4-11") ;; *) exit 1 ;;
esac
for entry in "${entries[@]}"; do
    read -r arch state version <<<"$entry"
    text=${format//'${Architecture}'/$arch}
    text=${text//'${db:Status-Status}'/$state}
    printf '%b' "${text//'${Version}'/$version}"
done
FAKE
chmod +x "$fake/dpkg-query"
out=$(PATH=$fake:$PATH bash "$(dirname "$0")/dependencies_met.sh" \
    "libc6 (>= 2.34), fonts-liberation, libonly32 (>= 2.0) | libc6 (>= 3), missing" amd64) && status=0 || status=$?
expected="dependency not met on this machine: libonly32 (>= 2.0) | libc6 (>= 3)
dependency not met on this machine: missing"
[ "$status" -eq 1 ] && [ "$out" = "$expected" ] || { echo "FAIL: status $status, printed:"; echo "$out"; exit 1; }
