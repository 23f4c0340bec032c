#!/usr/bin/env bash
# The library's dynamic symbol table must hold exactly the interface: every
# listed function and table, and nothing else defined by the library.
set -euo pipefail
lib=$1
expected=$2
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "exported symbols of $lib differ from $expected" >&2
  exit 1
fi
kinds=$(nm -D --defined-only "$lib" | awk '$3 ~ /^objlens_ops_/ {print $2}' | sort -u | tr -d '\n')
[ "$kinds" = "D" ] || [ "$kinds" = "R" ] || { echo "tables are not data symbols: $kinds" >&2; exit 1; }
echo "$(printf '%s\n' "$actual" | wc -l) symbols exported, as listed"
