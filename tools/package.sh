#!/usr/bin/env bash
# Builds the shipped win32 programs and makes the setup program Orvaq-<version>-setup.exe
# with NSIS (installer/Orvaq.nsi), the version from resources/version.txt and our icon.
#   tools/package.sh [-B BUILD_DIR] [-o OUT_DIR] [--no-build] [--version V]
#     -B BUILD_DIR   win32 build folder (default build/package-win32, configured if new)
#     -o OUT_DIR     where the setup program goes (default BUILD_DIR/installer)
#     --no-build     package what BUILD_DIR/bin already holds
#     --version V    another version than version.txt's (an older setup, for upgrade tests)
# Prints the path of the setup program on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

build=$root/build/package-win32
out=""
do_build=1
version=$(head -n1 "$root/resources/version.txt" | tr -d '\r ')
while [ $# -gt 0 ]; do
  case $1 in
    -B) build=$2; shift 2 ;;
    -o) out=$2; shift 2 ;;
    --no-build) do_build=""; shift ;;
    --version) version=$2; shift 2 ;;
    *) echo "package: unknown argument $1" >&2; exit 2 ;;
  esac
done
mkdir -p "$build"
build=$(cd "$build" && pwd)
out=${out:-$build/installer}
mkdir -p "$out"
out=$(cd "$out" && pwd)
case $version in
  [0-9]*.[0-9]*.[0-9]*) ;;
  *) echo "package: version '$version' is not MAJOR.MINOR.BUILD" >&2; exit 2 ;;
esac
command -v makensis >/dev/null || { echo "package: makensis missing (tools/setup.sh installs nsis)" >&2; exit 1; }

if [ -n "$do_build" ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset win32 -B "$build" >/dev/null)
  fi
  targets=(Orvaq setupnote RXFilter orvaq_texts orvaq_icon)
  # The rebuild program ships as soon as its target exists.
  if cmake --build "$build" --target help | grep -q '^OrvaqRbld2:'; then
    targets+=(OrvaqRbld2)
  fi
  cmake --build "$build" -j "${ORVAQ_JOBS:-2}" --target "${targets[@]}"
fi

bin=$build/bin
icon=$build/resources/orvaq.ico
for f in Orvaq.exe setupnote.exe RXFilter.DLL Orvaq.TXT Orvaqerr.409 Orvaqerr.40C; do
  [ -f "$bin/$f" ] || { echo "package: $bin/$f missing" >&2; exit 1; }
done
[ -f "$icon" ] || { echo "package: $icon missing" >&2; exit 1; }
if [ -f "$bin/OrvaqRbld2.exe" ]; then
  echo "package: with OrvaqRbld2.exe"
else
  echo "package: without OrvaqRbld2.exe (not built in $bin)"
fi

setup=$out/Orvaq-$version-setup.exe
# Warnings are errors: a missing file or a mistyped define must not give a setup program.
makensis -V2 -WX -INPUTCHARSET UTF8 \
  "-DVERSION=$version" "-DBIN_DIR=$bin" "-DICON=$icon" "-DOUTFILE=$setup" \
  "$root/installer/Orvaq.nsi" >&2
echo "$setup"
