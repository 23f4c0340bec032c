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
python3 - "${folders[@]}" >"$list" <<'PY'
import os, sys
for folder in sys.argv[1:]:
    for root, _, names in os.walk(folder):
        for name in sorted(names):
            path = os.path.join(root, name)
            try:
                if not os.path.islink(path) and open(path, "rb").read(4) == b"\x7fELF":
                    sys.stdout.write(path + "\0")
            except OSError:
                pass
PY
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
