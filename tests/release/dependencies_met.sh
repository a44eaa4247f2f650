#!/usr/bin/env bash
# Whether a package's Depends field is met on this machine: each clause by one of its choices,
# installed for the package's own architecture (or for all) in a version the relation allows.
# A library installed for several architectures (i386 beside amd64) is one entry each.
# Prints each clause that is not met; fails when there is one.
# Usage: dependencies_met.sh DEPENDS ARCHITECTURE
set -euo pipefail
depends=$1 arch=$2

unmet=0
IFS=',' read -ra clauses <<<"$depends"
for clause in "${clauses[@]}"; do
    met=0
    IFS='|' read -ra choices <<<"$clause"
    for choice in "${choices[@]}"; do
        read -r name relation wanted <<<"${choice//[()]/}"
        entries=$(dpkg-query -W -f='${Architecture} ${db:Status-Status} ${Version}\n' "$name" \
            2>/dev/null) || continue
        while read -r entry_arch state version; do
            [ "$entry_arch" = "$arch" ] || [ "$entry_arch" = all ] || continue
            [ "$state" = installed ] || continue
            if [ -z "${relation:-}" ] || dpkg --compare-versions "$version" "$relation" "$wanted"; then
                met=1
            fi
        done <<<"$entries"
        [ "$met" -eq 1 ] && break
    done
    [ "$met" -eq 1 ] || { echo "dependency not met on this machine:$clause"; unmet=1; }
done
exit "$unmet"
