#!/usr/bin/env bash
# CTest's emulator for Windows test programs: runs a PE file with the Wine loader of
# its machine type (wine64 for x86_64, wine for i386).
exe=$1
machine=$(od -An -tx1 -j "$(( $(od -An -tu4 -j 60 -N 4 "$exe") + 4 ))" -N 2 "$exe" | tr -d ' \n')
if [ "$machine" = "6486" ]; then
  exec /usr/lib/wine/wine64 "$@"
fi
exec /usr/lib/wine/wine "$@"
