#!/usr/bin/env bash
# with-wine.sh BUILD_DIR COMMAND...: runs COMMAND with a fresh Wine prefix inside
# BUILD_DIR, a private Xvfb display, one wineserver and generated locales; stops
# everything it started when COMMAND ends and returns COMMAND's exit code.
#   tools/with-wine.sh build/win32 ctest --test-dir build/win32 -R SetupNote
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
# A missing folder is made: never fall back to a prefix beside the current folder.
mkdir -p "$1" && build=$(cd "$1" && pwd) || { echo "with-wine.sh: cannot use folder $1" >&2; exit 2; }
shift

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
export LOCPATH=$build/locales
orvaq_locales_create "$LOCPATH"
orvaq_wine_prefix_create "$WINEPREFIX"
cleanup() {
  orvaq_wineserver_stop
  orvaq_xvfb_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM
orvaq_xvfb_start
orvaq_wineserver_start
"$@"
