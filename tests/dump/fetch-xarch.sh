#!/usr/bin/env bash
# Fetches ELF files of many architectures for the cross-architecture
# comparison with readelf: Debian's cross-compiling C and C++ runtime
# packages, downloaded with apt-get download and unpacked with dpkg-deb -x
# into a cache folder outside the source tree.  A package already unpacked
# is not fetched again, so a warm cache needs no network.  Runs that share
# the cache (two build folders, two clones) take turns through a lock.
#
# Usage: tests/dump/fetch-xarch.sh CACHE_DIR [ARCH...]
# Prints the cache folder's path of each architecture unpacked, and on
# standard error one line for each package that could not be had, with
# apt-get's reason.  Exit status 0 when every architecture asked for is
# there, 77 when none could be fetched (no network, no package lists), 1
# when only some could.
set -uo pipefail
cache=${1:?usage: fetch-xarch.sh CACHE_DIR [ARCH...]}
shift
# Debian's names of the architectures; each brings files of another
# machine, class, byte order or ABI (mips64el keeps r_info in its own
# layout, ppc64 has RELR relocations, armhf and mips carry e_flags).
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(i386 amd64 armhf arm64 mips mipsel mips64 mips64el powerpc
                                   ppc64 ppc64el s390x sparc64 riscv64)
mkdir -p "$cache/debs" || exit 1
exec 9>"$cache/.lock"
flock 9
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
      # As whoever runs this: the cache is the user's, which apt's own
      # download user could not write to anyway, and a user namespace
      # (unshare -r) has no such user to switch to.
      why=$(cd "$cache/debs" && apt-get download -q -o APT::Sandbox::User="$(id -un)" "$package" 2>&1 >/dev/null)
      deb=$(ls "$cache/debs/${package}"_*.deb 2>/dev/null | head -n1)
      if [ -z "$deb" ]; then
        why=$(grep -E '^(E|Err):' <<<"$why" | head -n1)
        echo "fetch-xarch: $package ($arch) could not be fetched: ${why:-apt-get download failed}" >&2
        ok=0
        break
      fi
    fi
    if ! dpkg-deb -x "$deb" "$root"; then
      echo "fetch-xarch: $package ($arch): $deb could not be unpacked" >&2
      ok=0
      break
    fi
  done
  if [ $ok = 1 ]; then
    touch "$root/.complete"
    echo "$root"
    have=$((have + 1))
  else
    rm -rf "$root"
    missing=$((missing + 1))
  fi
done
[ $missing = 0 ] && exit 0
[ $have = 0 ] && exit 77
exit 1
