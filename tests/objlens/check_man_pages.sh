#!/usr/bin/env bash
# The library's manual, section 3, as the build made it:
#   - every exported name has a page of its own (a family page or a link
#     to one), so `man NAME` finds it;
#   - every page renders through man without a warning, and every family
#     page through groff with all warnings on;
#   - the SYNOPSIS of the page that `man NAME` shows holds NAME's prototype
#     exactly as objlens.h declares it (white space aside), and so does the
#     load source's page for its functions and reason codes in objkit.h;
#   - every complete program among the pages' examples compiles cleanly.
#
# Usage: check_man_pages.sh MAN_DIR EXPORTS_LIST INCLUDE_DIR CC
#   MAN_DIR holds man3/, laid out as an installed manual.
set -euo pipefail
man_dir=$1
exports=$2
include_dir=$3
cc=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/objlens-man.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail()
{
    echo "man pages: $*" >&2
    failures=$((failures + 1))
}

cd "$man_dir"
export MANWIDTH=80 MAN_DISABLE_SECCOMP=1

# ---- a page for every export ---------------------------------------------

while read -r name; do
    [ -f "man3/$name.3" ] || fail "no page for $name"
done <"$exports"

# ---- rendering -------------------------------------------------------------

# Each page through man (which resolves .so against the current folder,
# the manual's root here), a few at a time; each family page through groff
# with every warning on.
printf '%s\n' man3/*.3 >"$work/pages"
pages=$(wc -l <"$work/pages")
mkdir "$work/man"
# shellcheck disable=SC2016  # expanded by the inner shell
xargs -P 4 -I{} sh -c 'man --warnings -l "$1" >/dev/null 2>"$2/${1#man3/}" ||
    echo "man failed" >>"$2/${1#man3/}"' _ {} "$work/man" <"$work/pages"
while read -r page; do
    if [ -s "$work/man/${page#man3/}" ]; then
        fail "$page: man --warnings -l:"
        cat "$work/man/${page#man3/}" >&2
    fi
    if ! head -n1 "$page" | grep -q '^\.so '; then
        if ! groff -t -man -ww -z "$page" 2>"$work/warnings" || [ -s "$work/warnings" ]; then
            fail "$page: groff -ww:"
            cat "$work/warnings" >&2
        fi
    fi
done <"$work/pages"

# ---- prototypes -------------------------------------------------------------

# Family pages are the pages that include no other; a link page is one line.
grep -L '^\.so ' man3/*.3 >"$work/families"
grep -H '^\.so ' man3/*.3 >"$work/links" || true

# White space made single, none inside the parentheses' edges or before a
# comma or semicolon.
squeeze='s/[[:space:]]+/ /g; s/\( /(/g; s/ ([),;])/\1/g; s/^ //; s/ $//'

# Every OBJLENS_API declaration of objlens.h, one per line, after its name
# and a tab.
name_each()
{
    awk '{ name = $0; sub(/ *\(.*/, "", name); sub(/;$/, "", name); sub(/.*[ *]/, "", name)
           print name "\t" $0 }'
}
awk '/^OBJLENS_API/ { decl = ""; on = 1 }
     on { decl = decl " " $0; if ($0 ~ /;/) { print decl; on = 0 } }' "$include_dir/objlens.h" |
    sed -E "s/ OBJLENS_API / /; $squeeze" | name_each >"$work/declarations"
declarations=$(wc -l <"$work/declarations")
[ "$declarations" -eq "$(wc -l <"$exports")" ] ||
    fail "objlens.h declares $declarations names, the export list has $(wc -l <"$exports")"

# From objkit.h, the load source's functions, and the reasons with their
# codes (under objkit_reason, whose page is the load source's).
# A declaration broken after a comma is joined first.
sed -e ':a' -e '/,$/N; s/,\n */, /; ta' "$include_dir/objkit.h" |
    grep -E '^(static inline|OBJKIT_API) .*objkit_source_[a-z_]+\(' |
    sed -E 's/^OBJKIT_API //; s/ OBJKIT_NOEXCEPT//; s/\)$/);/; s/;?$/;/' | name_each >>"$work/declarations"
awk '/^enum objkit_reason/, /^};/' "$include_dir/objkit.h" |
    grep -oE 'OBJKIT_REASON_[A-Z_]+ = [0-9]+,?' | sed 's/^/objkit_reason\t/' >>"$work/declarations"
[ "$(grep -c '^objkit_' "$work/declarations")" -gt 3 ] ||
    fail "objkit.h: the load source's functions and reasons were not found"

# Each family page's SYNOPSIS as plain text on one line, after a tab.
while read -r page; do
    printf '%s\t' "$page"
    groff -t -man -Tascii -P-cbou "$page" 2>/dev/null |
        awk '/^SYNOPSIS/ { on = 1; next } /^[A-Z]/ { on = 0 } on' | tr '\n' ' ' | sed -E "$squeeze"
    echo
done <"$work/families" >"$work/synopses"

# The page that `man NAME` shows must hold NAME's declaration.
awk -F '\t' '
    FILENAME == ARGV[1] { split($0, link, ":.so "); family[link[1]] = link[2]; next }
    FILENAME == ARGV[2] { synopsis[$1] = $2; next }
    {
        page = "man3/" $1 ".3"
        if (page in family) page = family[page]
        if (!(page in synopsis))
            print "no page for " $1 " of the headers"
        else if (index(synopsis[page], $2) == 0)
            print page ": SYNOPSIS lacks \"" $2 "\""
    }' "$work/links" "$work/synopses" "$work/declarations" >"$work/mismatches"
while read -r mismatch; do
    fail "$mismatch"
done <"$work/mismatches"

# ---- examples ----------------------------------------------------------------

examples=0
while read -r page; do
    # Each .EX block, with roff's escapes turned back into C.
    awk -v out="$work/example.${page#man3/}" '
        /^\.EX/ { n++; file = out "." n ".c"; next }
        /^\.EE/ { file = ""; next }
        file != "" { print > file }' "$page"
    for example in "$work/example.${page#man3/}".*.c; do
        [ -f "$example" ] || continue
        sed -i -e 's/\\e/\\/g' -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\&//g' "$example"
        grep -q '^int main(' "$example" || continue
        examples=$((examples + 1))
        if ! "$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror -I"$include_dir" -c "$example" \
            -o "$work/example.o" 2>"$work/compile"; then
            fail "$page: an example does not compile:"
            cat "$work/compile" >&2
        fi
    done
done <"$work/families"

if [ "$failures" -ne 0 ]; then
    echo "man pages: $failures problems" >&2
    exit 1
fi
echo "man pages: $pages pages render cleanly, $(wc -l <"$work/declarations") declarations as in the headers," \
    "$examples examples compile"
