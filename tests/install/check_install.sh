#!/usr/bin/env bash
# check_install.sh - installs the build tree into a temporary prefix, moves
# the prefix elsewhere (the tree must not depend on where it was put), checks
# what a user of the programs and a user of the library expect to find, then
# builds and runs the consumer against it: once through find_package, once
# through pkg-config.
#
# Everything comes from the environment that the CTest registration sets:
#   BUILD_DIR SOURCE_DIR CONSUMER_DIR CMAKE GENERATOR MAKE_PROGRAM CC CFLAGS
#   BINDIR LIBDIR INCLUDEDIR MANDIR PROGRAMS MAN_PAGES EXPORTS CHECK_EXPORTS
#   VERSION_NODE, and MAN (empty when man is not installed)
set -euo pipefail
# shellcheck disable=SC2153  # LIBDIR and the rest come from the environment
: "${BUILD_DIR:?}" "${LIBDIR:?}" "${BINDIR:?}" "${INCLUDEDIR:?}" "${MANDIR:?}"

fail()
{
    echo "install test: $*" >&2
    exit 1
}

# Runs a command quietly, showing its output only when it fails.
quiet()
{
    local log
    log=$(mktemp "$work/log.XXXXXX")
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        fail "failed: $*"
    fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/objlens-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
unset DESTDIR

quiet "$CMAKE" --install "$BUILD_DIR" --prefix "$work/staged"
mv "$work/staged" "$work/prefix"
prefix=$work/prefix
libdir=$prefix/$LIBDIR

# ---- the programs and their pages ----------------------------------------

for program in $PROGRAMS; do
    [ -x "$prefix/$BINDIR/$program" ] || fail "$program not installed in $BINDIR"
done
"$prefix/$BINDIR/runcard" -V | grep -q '0\.4\.5' || fail "installed runcard -V does not run"
for page in $MAN_PAGES; do
    if [ -f "$SOURCE_DIR/docs/$page" ]; then
        cmp -s "$SOURCE_DIR/docs/$page" "$prefix/$MANDIR/man1/$page" ||
            fail "man page $page not installed in $MANDIR/man1"
    fi
done

# ---- the libraries: real file, soname link, development link --------------

for lib in objlens objkit; do
    real=$libdir/lib$lib.so.0.4.5
    if [ ! -f "$real" ] || [ -L "$real" ]; then
        fail "lib$lib.so.0.4.5 not installed in $LIBDIR"
    fi
    [ "$(readlink "$libdir/lib$lib.so.0")" = "lib$lib.so.0.4.5" ] || fail "lib$lib.so.0 link wrong"
    [ "$(readlink "$libdir/lib$lib.so")" = "lib$lib.so.0" ] || fail "lib$lib.so link wrong"
    readelf -d "$real" | grep -q "Library soname: \[lib$lib.so.0\]" ||
        fail "lib$lib.so.0.4.5 has not the soname lib$lib.so.0"
done
for header in objlens.h objkit.h prginfo.h; do
    [ -f "$prefix/$INCLUDEDIR/$header" ] || fail "$header not installed in $INCLUDEDIR"
done
# Every export of the installed library, in the version node.
quiet "$CHECK_EXPORTS" "$libdir/libobjlens.so.0.4.5" "$EXPORTS" "$VERSION_NODE"

# ---- the library's manual -------------------------------------------------

while read -r name; do
    [ -f "$prefix/$MANDIR/man3/$name.3" ] || fail "no page $name.3 in $MANDIR/man3"
done <"$EXPORTS"
if [ -n "${MAN:-}" ]; then
    # A function's name finds its family's page.
    page=$(MANWIDTH=80 "$MAN" -M "$prefix/$MANDIR" objlens_sym_get_value 2>&1) ||
        fail "man -M PREFIX/$MANDIR objlens_sym_get_value: $page"
    if ! grep -q '^OBJLENS_SYM(3)' <<<"$page" || ! grep -q 'objlens_sym_get_value' <<<"$page"; then
        fail "man objlens_sym_get_value does not show the symbol page"
    fi
fi

# The moved tree must still resolve every library it needs, and nothing
# installed may point back into the build or source tree.
binaries=("$libdir/libobjlens.so.0.4.5" "$libdir/libobjkit.so.0.4.5")
for program in $PROGRAMS; do
    binaries+=("$prefix/$BINDIR/$program")
done
for binary in "${binaries[@]}"; do
    if ldd "$binary" | grep -q 'not found'; then
        ldd "$binary" >&2
        fail "$binary does not find its libraries after the prefix moved"
    fi
    if readelf -d "$binary" | grep -E 'R(UN)?PATH' | grep -qF -e "$BUILD_DIR" -e "$SOURCE_DIR"; then
        fail "$binary keeps a run path into the build tree"
    fi
done
if grep -rlF -e "$BUILD_DIR" -e "$SOURCE_DIR" "$libdir/cmake" "$libdir/pkgconfig"; then
    fail "package files name the build or source tree"
fi

# ---- consumer 1: find_package ---------------------------------------------

configure_consumer()
{
    "$CMAKE" -S "$CONSUMER_DIR" -B "$1" -G "$GENERATOR" -DCMAKE_MAKE_PROGRAM="$MAKE_PROGRAM" \
        -DCMAKE_C_COMPILER="$CC" -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$CFLAGS" \
        -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
        -DOBJLENS_WANTED_VERSION="$2"
}

run_consumer()
{
    "$1" "$libdir/libobjlens.so.0.4.5" .dynsym objlens_load || fail "$2 consumer: installed library"
    "$1" /proc/self/exe .symtab main || fail "$2 consumer: its own executable"
}

quiet configure_consumer "$work/find-package" 0.4
grep -qxF "objlens_DIR:PATH=$libdir/cmake/objlens" "$work/find-package/CMakeCache.txt" ||
    fail "find_package found objlens somewhere other than the temporary prefix"
quiet "$CMAKE" --build "$work/find-package"
run_consumer "$work/find-package/consumer" find_package

# The package keeps the soname's promise: 0.4.5 stands in for any earlier
# 0.x, never for a later release or another major version.
for version in 0.3 0.4.5; do
    quiet configure_consumer "$work/accept-$version" "$version"
done
for version in 0.4.6 0.5 1.0; do
    if configure_consumer "$work/refuse-$version" "$version" >/dev/null 2>&1; then
        fail "find_package(objlens $version) accepted the 0.4.5 package"
    fi
done

# ---- consumer 2: pkg-config -----------------------------------------------

export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion objlens)" = 0.4.5 ] || fail "pkg-config --modversion objlens"
pc_libdir=$(pkg-config --variable=libdir objlens)
[ "$(cd "$pc_libdir" && pwd -P)" = "$(cd "$libdir" && pwd -P)" ] ||
    fail "objlens.pc names libdir $pc_libdir, not the prefix's"
mkdir -p "$work/pkg-config"
# Word splitting of the pkg-config and CFLAGS output is intended.
# shellcheck disable=SC2046,SC2086
quiet "$CC" -std=c11 -Wall -Wextra -Wpedantic -Werror $CFLAGS $(pkg-config --cflags objlens) \
    "$CONSUMER_DIR/consumer.c" -o "$work/pkg-config/consumer" \
    $(pkg-config --libs objlens) -Wl,-rpath,"$pc_libdir"
run_consumer "$work/pkg-config/consumer" pkg-config

echo "install test: installed, moved, and both consumers ran"
