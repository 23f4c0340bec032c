#!/usr/bin/env bash
# Times objlens-dump beside readelf over one archive of many members: 100
# objects compiled from generated C, each put in under MEMBERS/100 names
# (default 10,000 members in all), then `-s` and `-a` (readelf -W, output
# discarded) in turns, RUNS rounds (default 5).  Prints each tool's median
# elapsed and user+system seconds with their range, its peak resident set,
# and the ratios of the medians to readelf's.
# KEEP_ARCHIVE=PATH keeps a copy of the archive; BEFORE=OBJLENS_DUMP times
# another build too, in the same rounds.
# Usage: bench/archive-compare.sh OBJLENS_DUMP [RUNS] [MEMBERS]
set -euo pipefail
dump=$1 runs=${2:-5} members=${3:-10000}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
copies=$(( (members + 99) / 100 ))
for i in $(seq 0 99); do
  {
    for f in $(seq 0 19); do
      echo "static int s${i}_$f; int f${i}_$f(int x) { s${i}_$f += x; return s${i}_$f * $f; }"
    done
    echo "const char *n$i = \"member $i\"; int v$i[4] = {$i};"
  } >"$work/o$i.c"
  gcc -O1 -c -o "$work/o$i.o" "$work/o$i.c"
done
mkdir "$work/m"
python3 - "$work" "$members" <<'PY'
import os, sys
work, members = sys.argv[1], int(sys.argv[2])
for n in range(members):
    os.link(f"{work}/o{n % 100}.o", f"{work}/m/m{n // 100}_{n % 100}.o")
PY
(cd "$work/m" && ls | sort -V >../list && ar rcs ../big.a @../list)
[ -z "${KEEP_ARCHIVE:-}" ] || cp "$work/big.a" "$KEEP_ARCHIVE"
echo "archive: $members members, $(stat -c %s "$work/big.a") bytes"

time_one() { # command... -> "elapsed cpu maxrss_kib": wall and user+system seconds
  /usr/bin/time -f "%e %U %S %M" "$@" 2>&1 >/dev/null | tail -1 |
    awk '{printf "%s %.2f %s", $1, $2 + $3, $4}'
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
range() { printf '%s\n' "$@" | sort -n | awk 'NR==1{lo=$1} {hi=$1} END {print lo "-" hi}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else printf "-"}'; }
# One tool's line: label, then its elapsed and cpu lists as "w1 w2 ...|c1 c2 ...", and its rss.
report() {
  local label=$1 walls=$2 cpus=$3 rss=$4
  read -r -a w <<<"$walls"; read -r -a c <<<"$cpus"
  echo "  $label: elapsed $(median "${w[@]}") s ($(range "${w[@]}")), cpu $(median "${c[@]}") s" \
       "($(range "${c[@]}")), peak rss ${rss} KiB"
}
tools=(readelf "$dump"); labels=(readelf objlens-dump)
if [ -n "${BEFORE:-}" ]; then tools+=("$BEFORE"); labels+=(before); fi
for option in -s -a; do
  declare -A walls=() cpus=() rss=()
  for r in $(seq "$runs"); do
    for i in "${!tools[@]}"; do
      if [ "$i" -eq 0 ]; then cmd=(readelf -W "$option" "$work/big.a"); else cmd=("${tools[$i]}" "$option" "$work/big.a"); fi
      read -r t c m <<<"$(time_one "${cmd[@]}")"
      walls[$i]+="$t " cpus[$i]+="$c " rss[$i]=$m
    done
  done
  echo "$option, $runs rounds (median, range):"
  for i in "${!tools[@]}"; do report "${labels[$i]}" "${walls[$i]}" "${cpus[$i]}" "${rss[$i]}"; done
  read -r -a rw <<<"${walls[0]}"; read -r -a rc <<<"${cpus[0]}"
  for i in "${!tools[@]}"; do
    [ "$i" -eq 0 ] && continue
    read -r -a w <<<"${walls[$i]}"; read -r -a c <<<"${cpus[$i]}"
    echo "  ${labels[$i]} / readelf: elapsed $(ratio "$(median "${w[@]}")" "$(median "${rw[@]}")")," \
         "cpu $(ratio "$(median "${c[@]}")" "$(median "${rc[@]}")")"
  done
  unset walls cpus rss
done
