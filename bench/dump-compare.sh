#!/usr/bin/env bash
# Times two objlens-dump binaries in the same run: `-a` over every ELF file
# under the given folders (default /usr/bin and /usr/lib/x86_64-linux-gnu),
# output discarded, the two taking turns, RUNS rounds (default 3).  Prints
# each round's elapsed and user+system seconds and their medians.
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

time_one() { # binary -> "elapsed cpu": wall seconds, and user+system seconds
  /usr/bin/time -f "%e %U %S" sh -c 'xargs -0 -n 256 "$1" -a <"$2" >/dev/null 2>&1 || true' _ "$1" "$list" 2>&1 |
    awk '{printf "%s %.2f", $1, $2 + $3}'
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
old_wall=() old_cpu=() new_wall=() new_cpu=()
for r in $(seq "$runs"); do
  read -r ow oc <<<"$(time_one "$old")"
  read -r nw nc <<<"$(time_one "$new")"
  old_wall+=("$ow"); old_cpu+=("$oc"); new_wall+=("$nw"); new_cpu+=("$nc")
  echo "round $r: old ${ow} s elapsed, ${oc} s cpu; new ${nw} s elapsed, ${nc} s cpu"
done
echo "median: old $(median "${old_wall[@]}") s elapsed, $(median "${old_cpu[@]}") s cpu;" \
     "new $(median "${new_wall[@]}") s elapsed, $(median "${new_cpu[@]}") s cpu"
