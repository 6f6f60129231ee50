#!/usr/bin/env bash
# Lab test of the external rebuild: Orvaq.exe under Wine on a lab workstation with
# OrvaqRbld2.exe beside it. A scanned plate ends with the ".NFO" written by the rebuild
# program (never seen incomplete while polled for), its BMP, ".raw" and renamed raw file
# complete; then the same plate (same seed) through the classic path once the rebuild
# program is gone, and the two pictures compared. Orvaq is asked for both depths
# ("/outputall"), so the rebuild program writes its ".raw" too.
#   rebuild_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
lab_test_open orb 218 1 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL OrvaqRbld2.exe
scan() {
  local end=$((SECONDS + 180))
  while [ $SECONDS -le $end ]; do sim scan "$@" && return 0; sleep 1; done
  return 1
}

prog=$work/prog
images=$work/images
mkdir -p "$prog" "$images"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$winbin"/OrvaqRbld2.exe "$prog"/
cp "$winbin"/Orvaqerr.* "$prog"/ 2>/dev/null || true
winimages=$(echo "Z:$images" | tr / '\\')
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=3\r\nLUMEQ2Color=4\r\nAdapterName=eth0\r\n' > "$prog/Orvaq.INI"

check "simulator in monoposte mode" sim state mode=mono
bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Smith" /patient Anne-Marie /idpatient 1234 \
  /image_path "$winimages" /lang 40c /outputall >/dev/null

# Waits for a ".NFO" matching $1 (a glob), reading every one it sees: a visible one must
# be complete. Prints its path.
wait_nfo() {
  local pattern=$1 end=$((SECONDS + $2)) f
  while [ $SECONDS -le $end ]; do
    for f in $images/$pattern; do
      [ -e "$f" ] || continue
      python3 - "$f" <<'PY' || echo "INCOMPLETE $f" >> "$work/incomplete"
import sys
d = open(sys.argv[1], "rb").read()
t = d[2:].decode("utf-16-le", "replace")
sys.exit(0 if d[:2] == b"\xff\xfe" and "\r\nFileBIN=" in t and "\r\nRAWHeight=" in t and t.endswith("\r\n") else 1)
PY
      echo "$f"
      return 0
    done
    sleep 0.1
  done
  return 1
}

# 1. The external path: OrvaqRbld2 does the work and hands the ".NFO" over.
check "scan with the rebuild program present" scan size=1 mode=0 seed=7 "save=$work/sent1.bin"
nfo=$(wait_nfo 'LAS*.NFO' 240)
check "the rebuild program's information file appears" test -n "$nfo"
if [ -n "$nfo" ]; then
  check "its BMP, .raw and renamed raw file are complete" python3 "$here/rebuild_outputs.py" check "$nfo"
  rebuilt_bmp=$(python3 -c "import sys; sys.path.insert(0, '$here'); import rebuild_outputs as r; print(r.local(r.info_keys('$nfo')['ACQUISITION/File8']))")
  bin=$(python3 -c "import sys; sys.path.insert(0, '$here'); import rebuild_outputs as r; print(r.local(r.info_keys('$nfo')['ACQUISITION/FileBIN']))")
  check "the renamed raw file holds the bytes the scanner sent" cmp -s "$bin" "$work/sent1.bin"
fi
check "no information file was ever seen incomplete" test ! -s "$work/incomplete"
check "no .NFOT is left" test -z "$(find "$images" -name '*.NFOT')"
check "no classic outputs for that plate" test -z "$(find "$images" -name '*LastBmpLUM2*')"

# 2. The classic path with the same settings, for the same plate.
rm -f "$prog/OrvaqRbld2.exe"
check "scan of the same plate without the rebuild program" scan size=1 mode=0 seed=7 "save=$work/sent2.bin"
# The header's sequence number and scan time differ; the lines are the same plate.
check "the scanner sent the same lines" cmp -s -i 36 "$work/sent1.bin" "$work/sent2.bin"
# The classic record has no FileBIN: wait for the file itself.
end=$((SECONDS + 240))
while [ $SECONDS -le $end ] && [ -z "$(find "$images" -name '*LastBmpLUM2*.NFO')" ]; do sleep 0.2; done
classic_bmp=$(find "$images" -name '*LastBmpLUM2*.bmp' | head -n1)
check "the classic path wrote its picture" test -n "$classic_bmp"
if [ -n "$classic_bmp" ] && [ -n "${rebuilt_bmp:-}" ]; then
  check "the same plate through both paths" python3 "$here/rebuild_outputs.py" compare "$classic_bmp" "$rebuilt_bmp"
fi

bash "$lab" screenshot "$work/screen.png" >/dev/null 2>&1 || true
[ "$failures" = 0 ] || show_log
echo "$failures failure(s)"
[ "$failures" = 0 ]
