#!/usr/bin/env bash
# Fetches ELF files of many architectures for the cross-architecture
# comparison with readelf: Debian's cross-compiling C and C++ runtime
# packages, downloaded with apt-get download and unpacked with dpkg-deb -x
# into a cache folder outside the source tree.  A package already unpacked
# is not fetched again.
#
# Usage: tests/dump/fetch-xarch.sh CACHE_DIR [ARCH...]
# Prints the cache folder's path of each architecture unpacked.  Exit status
# 0 when every architecture asked for is there, 77 when none could be
# fetched (no network, no package lists), 1 when only some could.
set -uo pipefail
cache=${1:?usage: fetch-xarch.sh CACHE_DIR [ARCH...]}
shift
# Debian's names of the architectures; each brings files of another
# machine, class, byte order or ABI (mips64el keeps r_info in its own
# layout, ppc64 has RELR relocations, armhf and mips carry e_flags).
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(i386 amd64 armhf arm64 mips mipsel mips64 mips64el powerpc
                                   ppc64 ppc64el s390x sparc64 riscv64)
mkdir -p "$cache/debs"
have=0
missing=0
for arch in "${arches[@]}"; do
  root=$cache/$arch
  if [ -f "$root/.complete" ]; then
    echo "$root"
    have=$((have + 1))
    continue
  fi
  rm -rf "$root"
  mkdir -p "$root"
  ok=1
  for package in "libc6-$arch-cross" "libstdc++6-$arch-cross"; do
    deb=$(ls "$cache/debs/${package}"_*.deb 2>/dev/null | head -n1)
    if [ -z "$deb" ]; then
      (cd "$cache/debs" && apt-get download -q "$package" >/dev/null 2>&1) || { ok=0; break; }
      deb=$(ls "$cache/debs/${package}"_*.deb 2>/dev/null | head -n1)
    fi
    [ -n "$deb" ] && dpkg-deb -x "$deb" "$root" || { ok=0; break; }
  done
  if [ $ok = 1 ]; then
    touch "$root/.complete"
    echo "$root"
    have=$((have + 1))
  else
    echo "fetch-xarch: $arch: the packages could not be fetched" >&2
    rm -rf "$root"
    missing=$((missing + 1))
  fi
done
[ $missing = 0 ] && exit 0
[ $have = 0 ] && exit 77
exit 1
