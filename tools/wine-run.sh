#!/usr/bin/env bash
# CTest's emulator for Windows test programs: runs a PE file with the Wine loader of
# its machine type (wine64 for x86_64, wine for i386).
. "$(dirname "$0")/wine-env.sh"
exec "$(orvaq_wine_loader_for "$1")" "$@"
