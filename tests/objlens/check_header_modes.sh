#!/usr/bin/env bash
# objlens.h and objkit.h in every language mode they support, with each
# compiler given: alone and together, as C99, C11 and C17 and as C++11 to
# C++23, under -Wall -Wextra -Wpedantic -Werror; header_modes.c is built and
# linked in each mode.  In C89 and C++98 each header must stop at once with
# an #error that names the oldest mode it supports.
#
# Usage: check_header_modes.sh INCLUDE_DIR CLIENT LIBOBJLENS LIBOBJKIT CC:CXX...
# EXTRA_FLAGS in the environment go to every build (a sanitizer build's
# libraries need their runtime).
set -euo pipefail
include_dir=$1
client=$2
libobjlens=$3
libobjkit=$4
shift 4

work=$(mktemp -d "${TMPDIR:-/tmp}/objlens-modes.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
builds=0
fail()
{
    echo "header modes: $*" >&2
    failures=$((failures + 1))
}
flags=(-Wall -Wextra -Wpedantic -Werror -I"$include_dir")
# Word splitting of EXTRA_FLAGS is intended.
# shellcheck disable=SC2206
flags+=(${EXTRA_FLAGS:-})

# The first of the -std= names that the compiler takes (C++23 was still
# c++2b in older compilers).
mode_name()
{
    local compiler=$1 language=$2 name
    shift 2
    for name in "$@"; do
        if "$compiler" -std="$name" -x "$language" -fsyntax-only - </dev/null 2>/dev/null; then
            echo "$name"
            return
        fi
    done
    echo "$1"
}

# COMPILER LANGUAGE MODE: each header alone, then the client, built and linked.
build()
{
    local compiler=$1 language=$2 mode=$3 header
    for header in objlens.h objkit.h; do
        builds=$((builds + 1))
        if ! printf '#include "%s"\n' "$header" |
            "$compiler" -std="$mode" "${flags[@]}" -x "$language" -fsyntax-only - \
                2>"$work/log"; then
            fail "$compiler -std=$mode: $header alone:"
            cat "$work/log" >&2
        fi
    done
    builds=$((builds + 1))
    if ! "$compiler" -std="$mode" "${flags[@]}" -x "$language" "$client" -x none \
        "$libobjlens" "$libobjkit" -o "$work/client" 2>"$work/log"; then
        fail "$compiler -std=$mode: $(basename "$client"):"
        cat "$work/log" >&2
    fi
}

# COMPILER LANGUAGE MODE WANTED: the header must refuse the mode, and its
# #error must be the first error, naming the mode WANTED.
refuse()
{
    local compiler=$1 language=$2 mode=$3 wanted=$4 header
    for header in objlens.h objkit.h; do
        builds=$((builds + 1))
        if printf '#include "%s"\nint main(void) { return 0; }\n' "$header" |
            "$compiler" -std="$mode" "${flags[@]}" -x "$language" -fsyntax-only - \
                >"$work/log" 2>&1; then
            fail "$compiler -std=$mode: $header was accepted"
            continue
        fi
        # Its own #error, and no error after it.
        if [ "$(grep -c ': error: ' "$work/log")" -ne 1 ] ||
            ! grep -q "error: .*$header needs $wanted or later" "$work/log"; then
            fail "$compiler -std=$mode: $header did not stop with its own #error alone:"
            cat "$work/log" >&2
        fi
    done
}

[ $# -gt 0 ] || { echo "header modes: no compilers given" >&2; exit 1; }
for pair in "$@"; do
    cc=${pair%%:*}
    cxx=${pair#*:}
    for mode in c99 c11 c17; do
        build "$cc" c "$mode"
    done
    for mode in c++11 c++14 c++17 c++20 "$(mode_name "$cxx" c++ c++23 c++2b)"; do
        build "$cxx" c++ "$mode"
    done
    refuse "$cc" c c89 C99
    refuse "$cxx" c++ c++98 C++11
done

if [ "$failures" -ne 0 ]; then
    echo "header modes: $failures of $builds builds failed" >&2
    exit 1
fi
echo "header modes: $builds builds as expected with $*"
