#!/usr/bin/env bash
# Times two objlens-dump binaries in the same run: `-a` over every ELF file
# under the given folders (default /usr/bin and /usr/lib/x86_64-linux-gnu),
# output discarded, the two taking turns, RUNS rounds (default 3).  Prints
# each round's seconds and the medians.
# Usage: bench/dump-compare.sh OLD NEW [RUNS] [FOLDER...]
set -euo pipefail
old=$1 new=$2 runs=${3:-3}
shift 2; [ $# -gt 0 ] && shift
folders=("$@"); [ ${#folders[@]} -gt 0 ] || folders=(/usr/bin /usr/lib/x86_64-linux-gnu)
list=$(mktemp); trap 'rm -f "$list"' EXIT
find "${folders[@]}" -type f -size +0 -print0 2>/dev/null |
  xargs -0 -n 256 sh -c 'for f; do [ "$(head -c 4 "$f" 2>/dev/null | od -An -tx1 | tr -d " ")" = 7f454c46 ] && printf "%s\0" "$f"; done' _ >"$list"
echo "files: $(tr -cd '\0' <"$list" | wc -c)"
time_one() { # binary -> seconds
  local start end
  start=$(date +%s.%N)
  xargs -0 -n 256 "$1" -a <"$list" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
olds=() news=()
for r in $(seq "$runs"); do
  o=$(time_one "$old"); n=$(time_one "$new")
  olds+=("$o"); news+=("$n")
  echo "round $r: old $o s, new $n s"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "median old $(median "${olds[@]}") s, new $(median "${news[@]}") s"
