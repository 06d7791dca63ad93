#!/usr/bin/env bash
# Runs a Windows program of a build tree under Wine, in that tree's own prefix.
# CTest calls it as the cross-compiling emulator; BREVANTO_WINEPREFIX may name
# another prefix.
set -e
exe=$1; shift
if [ -z "${BREVANTO_WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  BREVANTO_WINEPREFIX=$dir/wineprefix
fi
export WINEPREFIX=$BREVANTO_WINEPREFIX WINEDEBUG=${WINEDEBUG:--all}
exec wine "$exe" "$@"
