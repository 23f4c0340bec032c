#!/usr/bin/env bash
# Builds the ELF samples of objlens-dump's tests for symbol versions, notes
# and section dumps, with clang, ld.lld, ld.gold and objcopy.  The outputs
# are committed beside this script; run it only to remake them.
# Usage: tests/dump/samples/make-samples.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$here/src
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

common=(-O1 -ffreestanding -fno-builtin -fno-stack-protector -fno-asynchronous-unwind-tables
        -fno-unwind-tables -fno-ident)
link=(-z max-page-size=4096 -z norelro --hash-style=gnu)

# Symbol versions: a versioned library that needs a versioned library, and
# an executable that copies one of its versioned objects, for a 64-bit LSB
# and a 32-bit MSB target.
for line in "x86_64 x86_64-linux-gnu" "powerpc powerpc-linux-gnu"; do
  read -r arch target <<<"$line"
  cc=(clang --target="$target" "${common[@]}")
  "${cc[@]}" -fPIC -c "$src/versdep.c" -o "$work/versdep.o"
  ld.lld "${link[@]}" -shared -soname libversdep.so.1 --version-script "$src/versdep.map" \
    --build-id=none "$work/versdep.o" -o "$work/libversdep.so.1"
  "${cc[@]}" -fPIC -c "$src/versioned.c" -o "$work/versioned.o"
  ld.lld "${link[@]}" -shared -soname libversioned.so.1 --version-script "$src/versioned.map" \
    --build-id=none "$work/versioned.o" "$work/libversdep.so.1" -o "$here/$arch-versioned.so"
  "${cc[@]}" -fno-pic -c "$src/useversions.c" -o "$work/useversions.o"
  ld.lld "${link[@]}" --build-id=none -e _start --dynamic-linker /lib/ld.so.1 \
    "$work/useversions.o" "$here/$arch-versioned.so" "$work/libversdep.so.1" \
    -o "$here/$arch-useversions.exe"
done

# Notes: build IDs, property notes (x86 IBT and SHSTK, AArch64 BTI and
# PAC), an ABI tag, notes readelf has no decoding for, and gold's version.
cc=(clang --target=x86_64-linux-gnu "${common[@]}")
"${cc[@]}" -fcf-protection=full -c "$src/start.c" -o "$work/start-x86_64.o"
"${cc[@]}" -c "$src/notes.S" -o "$work/notes-x86_64.o"
ld.lld "${link[@]}" --build-id=sha1 -e _start "$work/start-x86_64.o" "$work/notes-x86_64.o" \
  -o "$here/x86_64-notes.exe"
ld.gold --build-id=md5 -e _start "$work/start-x86_64.o" -o "$here/x86_64-gold.exe"
cc=(clang --target=aarch64-linux-gnu "${common[@]}")
"${cc[@]}" -mbranch-protection=standard -fPIC -c "$src/start.c" -o "$work/start-aarch64.o"
"${cc[@]}" -c "$src/notes.S" -o "$work/notes-aarch64.o"
ld.lld "${link[@]}" -shared --build-id=0x0123456789abcdef "$work/start-aarch64.o" \
  "$work/notes-aarch64.o" -o "$here/aarch64-notes.so"
cc=(clang --target=i386-linux-gnu "${common[@]}")
"${cc[@]}" -fcf-protection=full -c "$src/start.c" -o "$work/start-i386.o"
"${cc[@]}" -c "$src/notes.S" -o "$work/notes-i386.o"
ld.lld "${link[@]}" --build-id=fast -e _start "$work/start-i386.o" "$work/notes-i386.o" \
  -o "$here/i386-notes.exe"

# Compressed debug sections: zlib through the compiler, zstd and the old
# .zdebug form through objcopy.
clang --target=x86_64-linux-gnu -O1 -g -gz=zlib -c "$src/versioned.c" -o "$here/x86_64-zlib.o"
clang --target=x86_64-linux-gnu -O1 -g -c "$src/versioned.c" -o "$work/debug.o"
objcopy --compress-debug-sections=zstd "$work/debug.o" "$here/x86_64-zstd.o"
objcopy --compress-debug-sections=zlib-gnu "$work/debug.o" "$here/x86_64-zdebug.o"
clang --target=powerpc-linux-gnu -O1 -g -gz=zlib -c "$src/versioned.c" -o "$here/powerpc-zlib.o"

# C++ names for -C.
clang++ --target=x86_64-linux-gnu -O1 -fno-exceptions -fno-asynchronous-unwind-tables -fno-ident \
  -c "$src/names.cpp" -o "$here/x86_64-names.o"

# Android packed relocations ("APS2"), SHT_ANDROID_RELA and SHT_ANDROID_REL,
# in ../packed: readelf does not list them, so the readelf comparisons that
# walk this folder do not see them.
for line in "aarch64 aarch64-linux-gnu" "i386 i386-linux-gnu" "powerpc64 powerpc64-linux-gnu"; do
  read -r arch target <<<"$line"
  clang --target="$target" "${common[@]}" -fPIC -c "$src/packed.c" -o "$work/packed.o"
  ld.lld "${link[@]}" -shared --pack-dyn-relocs=android --build-id=none "$work/packed.o" \
    -o "$here/../packed/$arch-packed.so"
done

ls -l "$here"/*.so "$here"/*.exe "$here"/*.o "$here"/../packed/*.so
ls -l "$here"/*.so "$here"/*.exe "$here"/*.o

# Build attributes (-A): ARM's aeabi subsection from a hard-float ARMv7-A
# compile, and RISC-V's arch string, stack alignment and privileged architecture version.
clang --target=armv7a-linux-gnueabihf -mfpu=neon "${common[@]}" -c "$src/start.c" \
  -o "$here/arm-attributes.o"
clang --target=riscv64-linux-gnu -march=rv64gc "${common[@]}" -c "$src/start.c" \
  -o "$here/riscv64-attributes.o"

# The MIPS GOT (-A): the static GOT of an executable without a dynamic
# array, and the primary GOT of a 64-bit big-endian shared library.
clang --target=mipsel-linux-gnu -fPIC "${common[@]}" -c "$src/got.c" -o "$work/got-mipsel.o"
ld.lld -static -e _start "$work/got-mipsel.o" --defsym shared_value=0 \
  -o "$here/mipsel-static-got.exe"
clang --target=mips64-linux-gnuabi64 -fPIC "${common[@]}" -c "$src/got.c" -o "$work/got-mips64.o"
ld.lld -z max-page-size=4096 -shared --build-id=none "$work/got-mips64.o" -o "$here/mips64-got.so"
