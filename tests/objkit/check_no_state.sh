#!/usr/bin/env bash
# The backend keeps no state of its own: no thread-local storage, and no
# writable object in the shared library but those the toolchain's start-up
# files put there.  Usage: check_no_state.sh LIBRARY
set -euo pipefail
lib=$1
if readelf -lW "$lib" | grep -q 'TLS'; then
    echo "$lib has a TLS segment" >&2
    exit 1
fi
if readelf -SW "$lib" | grep -qE '\.t(data|bss)'; then
    echo "$lib has thread-local sections" >&2
    exit 1
fi
toolchain='^(completed\.0|__dso_handle|__TMC_END__|_DYNAMIC|_GLOBAL_OFFSET_TABLE_|DW\.ref\..*|__frame_dummy_init_array_entry|__do_global_dtors_aux_fini_array_entry)$'
state=$(nm "$lib" | awk '$2 ~ /^[bBdD]$/ {print $3}' | grep -Ev "$toolchain" || true)
if [ -n "$state" ]; then
    echo "$lib holds writable objects:" >&2
    echo "$state" >&2
    exit 1
fi
echo "$lib keeps no state of its own"
