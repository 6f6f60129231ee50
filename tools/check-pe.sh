#!/usr/bin/env bash
# check-pe.sh BUILD_DIR ARCH: every shipped program and library listed in products.txt
# is a PE file of the expected machine (i386 for the product), GUI subsystem, and
# imports no mingw runtime DLL (statically linked).
set -euo pipefail
build=$1
arch=${2:-i386}
objdump=i686-w64-mingw32-objdump
[ "$arch" = x86_64 ] && objdump=x86_64-w64-mingw32-objdump
fail=0
count=0
while IFS= read -r f; do
  [ -n "$f" ] || continue
  count=$((count + 1))
  name=$(basename "$f")
  if [ ! -f "$f" ]; then echo "FAIL $name: not built"; fail=1; continue; fi
  desc=$(file -b "$f")
  if [ "$arch" = i386 ]; then want='^PE32 executable .*Intel 80386'; else want='^PE32\+ executable .*x86-64'; fi
  if ! echo "$desc" | grep -qE "$want"; then echo "FAIL $name: $desc"; fail=1; continue; fi
  if ! echo "$desc" | grep -q '(GUI)'; then echo "FAIL $name: not GUI subsystem ($desc)"; fail=1; continue; fi
  dlls=$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  if echo "$dlls" | grep -qE '^(libgcc|libstdc\+\+|libwinpthread|msvcp|libgomp)'; then
    echo "FAIL $name: not statically linked (imports $(echo "$dlls" | grep -E '^(libgcc|libstdc|libwinpthread|msvcp|libgomp)' | tr '\n' ' '))"
    fail=1; continue
  fi
  echo "ok   $name: $desc"
done < "$build/products.txt"
[ "$count" -gt 0 ] || { echo "FAIL no products listed in $build/products.txt"; exit 1; }
exit $fail
