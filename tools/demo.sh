#!/usr/bin/env bash
# demo.sh: one acquisition against the scanner simulator, from a bare Debian 12 machine.
# Installs what is missing, builds the simulator (host) and Orvaq (win32, or win64 where
# this kernel cannot run 32-bit code: orvaq_win_test_build in tools/wine-env.sh), brings
# up the lab with the simulator and one workstation, starts Orvaq there under Wine as a
# practice application does (doctor, patient, patient id, image folder), scans a plate,
# waits for the information file, prints the files produced and the information file,
# saves a screenshot, and takes the lab down. Run as root.
#   tools/demo.sh [--rebuild] [size 0..3] [Mode 0|1|2|10]
# --rebuild puts the rebuild program OrvaqRbld2.exe beside Orvaq.exe: Orvaq then hands the
# raw file over to it (the external path), which writes the BMP, the 16-bit ".raw" (Orvaq
# is asked for both depths) and the final ".NFO". The rebuild program reads Modes 0, 1, 2.
# ORVAQ_DEMO_HOST_BUILD and ORVAQ_DEMO_WIN_BUILD choose other build folders
# (default build/host and build/win32 or build/win64); ORVAQ_DEMO_OUT the output folder.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. tools/wine-env.sh
rebuild=0
if [ "${1:-}" = --rebuild ]; then rebuild=1; shift; fi
size=${1:-1}
mode=${2:-0}
if [ "$rebuild" = 1 ] && [ "$mode" != 0 ] && [ "$mode" != 1 ] && [ "$mode" != 2 ]; then
  echo "demo: the rebuild program reads Modes 0, 1 and 2 only" >&2; exit 1
fi
host=${ORVAQ_DEMO_HOST_BUILD:-build/host}
win_preset=$(basename "$(orvaq_win_test_build)")
win=${ORVAQ_DEMO_WIN_BUILD:-build/$win_preset}
out=${ORVAQ_DEMO_OUT:-/tmp/orvaq-demo}
[ "$(id -u)" = 0 ] || { echo "demo: run as root (the lab uses network namespaces)" >&2; exit 1; }

step() { echo "== $*"; }
step "installing what is missing"
bash tools/setup.sh || exit 1
step "building the simulator ($host) and Orvaq ($win)"
{ cmake --preset host -B "$host" >/dev/null && cmake --build "$host" --target lumeq2-sim lumeq2-simctl -j2 >/dev/null; } ||
  { echo "demo: host build failed" >&2; exit 1; }
# Tests on, as the test command configures it, so that the two do not undo each other.
{ cmake --preset "$win_preset" -B "$win" -DBUILD_TESTING=ON >/dev/null &&
  cmake --build "$win" --target Orvaq RXFilter orvaq_texts $([ "$rebuild" = 1 ] && echo OrvaqRbld2) -j2 >/dev/null; } ||
  { echo "demo: $win_preset build failed" >&2; exit 1; }

export ORVAQ_LAB=odemo ORVAQ_LAB_BIN=$root/$host/bin
lab="$root/tools/lab/lab.sh"
finish() { bash "$lab" down >/dev/null 2>&1 || true; }
trap finish EXIT
rm -rf "$out"
mkdir -p "$out/program" "$out/images"
cp "$win"/bin/Orvaq.exe "$win"/bin/Orvaq.TXT "$win"/bin/RXFilter.DLL "$out/program"/
cp "$win"/bin/Orvaqerr.* "$out/program"/ 2>/dev/null || true
extra=""
if [ "$rebuild" = 1 ]; then
  cp "$win"/bin/OrvaqRbld2.exe "$out/program"/
  extra=/outputall
fi
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=1\r\nLUMEQ2Color=2\r\nAdapterName=eth0\r\n' \
  > "$out/program/Orvaq.INI"

step "bringing up the lab: simulator and one workstation"
bash "$lab" down >/dev/null 2>&1 || true
bash "$lab" up 1 >/dev/null || { echo "demo: the lab did not come up" >&2; exit 1; }
bash "$lab" sim state mode=mono >/dev/null
images=$(echo "Z:$out/images" | tr / '\\')
step "starting Orvaq as a practice application does$([ "$rebuild" = 1 ] && echo ", OrvaqRbld2.exe beside it")"
bash "$lab" run 1 --bg "$out/program/Orvaq.exe" /doctor "Dr Martin" /patient "Anne Durand" /idpatient 1234 \
  /image_path "$images" /lang 40c $extra >/dev/null

step "scanning a plate (size $size, Mode $mode) once Orvaq holds the scanner"
end=$((SECONDS + 180))
until bash "$lab" sim scan size="$size" mode="$mode" >/dev/null 2>&1; do
  [ $SECONDS -le $end ] || { echo "demo: the scanner was never reserved" >&2; exit 1; }
  sleep 1
done
step "waiting for the information file"
end=$((SECONDS + 300))
nfo=""
while [ -z "$nfo" ]; do
  nfo=$(find "$out/images" -name '*.NFO' | head -n1)
  [ -n "$nfo" ] && break
  [ $SECONDS -le $end ] || { echo "demo: no information file appeared" >&2; exit 1; }
  sleep 0.2
done
bash "$lab" screenshot "$out/screenshot.png" >/dev/null 2>&1 || true

step "files produced in $out/images"
ls -l "$out/images" | sed 1d
step "information file $(basename "$nfo")"
iconv -f UTF-16 -t UTF-8 "$nfo" | tr -d '\r'
step "screenshot: $out/screenshot.png"
