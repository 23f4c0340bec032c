#!/usr/bin/env bash
# The library's dynamic symbol table must hold exactly the interface: every
# listed function and table, and nothing else defined by the library, each
# of them in one of the version nodes NODE... as its default version.
#
# Usage: check_exports.sh LIBRARY EXPORTS_LIST NODE...
set -euo pipefail
lib=$1
expected=$2
shift 2
nodes=" $* "

# Every defined global or weak symbol of .dynsym: type and versioned name.
# The nodes' own definitions (absolute symbols named NODE) are left out.
defined=$(readelf --dyn-syms -W "$lib" |
    awk -v nodes="$nodes" '$1 ~ /^[0-9]+:$/ && $7 != "UND" && ($5 == "GLOBAL" || $5 == "WEAK") &&
                           index(nodes, " " $8 " ") == 0 { print $4, $8 }')

actual=$(printf '%s\n' "$defined" | awk '{ sub(/@.*/, "", $2); print $2 }' | sort)
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
    echo "exported symbols of $lib differ from $expected" >&2
    exit 1
fi

unversioned=$(printf '%s\n' "$defined" | awk -v nodes="$nodes" \
    '{ at = index($2, "@@"); if (at == 0 || index(nodes, " " substr($2, at + 2) " ") == 0) print $2 }')
if [ -n "$unversioned" ]; then
    echo "exports of $lib not in a version node of$nodes as their default version:" >&2
    awk '{ print "  " $0 }' <<<"$unversioned" >&2
    exit 1
fi

misfiled=$(printf '%s\n' "$defined" |
    awk '{ want = $2 ~ /^objlens_ops_/ ? "OBJECT" : "FUNC"; if ($1 != want) print $2 }')
if [ -n "$misfiled" ]; then
    echo "tables must be data symbols and everything else functions:" >&2
    awk '{ print "  " $0 }' <<<"$misfiled" >&2
    exit 1
fi
echo "$(printf '%s\n' "$actual" | wc -l) symbols exported in$nodes, as listed"
