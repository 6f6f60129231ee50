#!/usr/bin/env bash
# Lab test of whole acquisitions: Orvaq.exe under Wine on a lab workstation started as a
# practice application starts it, the simulator in monoposte mode scanning plates of every
# size at every Mode, an empty plate, and one plate with a rebuild program present. For
# each plate the BMP, RAW and NFO appear; the NFO is never seen incomplete while it is
# polled for; the BMP is read by check_outputs.py and by ImageMagick.
#   acquisition_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR REFERENCE_IMAGE_PROGRAM
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
reference=${3:?usage: acquisition_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR REFERENCE_IMAGE_PROGRAM}
. "$here/../lab_test_lib.sh"
lab_test_open oaq 215 1 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL reconstruction_fake_rebuild.exe
# The scanner scans only for the station that holds it: retried until the station has
# reserved by itself (monoposte) or the time is up.
scan() {
  local end=$((SECONDS + 180))
  while [ $SECONDS -le $end ]; do sim scan "$@" && return 0; sleep 1; done
  return 1
}

prog=$work/prog
images=$work/images
mkdir -p "$prog" "$images"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$prog"/
cp "$winbin"/Orvaqerr.* "$prog"/ 2>/dev/null || true
winimages=$(echo "Z:$images" | tr / '\\')
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=3\r\nLUMEQ2Color=4\r\nAdapterName=eth0\r\n' > "$prog/Orvaq.INI"

check "simulator in monoposte mode" sim state mode=mono
bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Smith" /patient Anne-Marie /idpatient 1234 \
  /image_path "$winimages" /lang 40c >/dev/null

# Waits for the next ".NFO" (one more than $1), reading every one it sees: a ".NFO" that
# is visible must be complete. Prints the new file's path.
wait_nfo() {
  local before=$1 end=$((SECONDS + $2)) f n
  while [ $SECONDS -le $end ]; do
    n=0
    for f in "$images"/*.NFO; do
      [ -e "$f" ] || continue
      n=$((n + 1))
      python3 - "$f" <<'PY' || echo "INCOMPLETE $f" >> "$work/incomplete"
import sys
d = open(sys.argv[1], "rb").read()
t = d[2:].decode("utf-16-le", "replace")
sys.exit(0 if d[:2] == b"\xff\xfe" and "\r\n[ACQUISITION]\r\n" in t and t.endswith("\r\n") and "\r\nMire=" in t else 1)
PY
    done
    if [ "$n" -gt "$before" ]; then ls -t "$images"/*.NFO | head -n1; return 0; fi
    sleep 0.2
  done
  return 1
}
nfo_count() { ls "$images"/*.NFO 2>/dev/null | wc -l; }

# Every size at every Mode the scanner sends.
for mode in 0 1 2 10; do
  for size in 0 1 2 3; do
    what="size $size Mode $mode"
    n=$(nfo_count)
    scan size=$size mode=$mode "save=$work/sent.bin" || { check "$what: scan" false; continue; }
    nfo=$(wait_nfo "$n" 240)
    check "$what: the information file appears" test -n "$nfo"
    [ -n "$nfo" ] || continue
    # The library's own image of the plate the simulator sent.
    wh=$("$reference" "$work/sent.bin" "$work/reference.px")
    check "$what: the reference reconstruction" test -n "$wh"
    out=$(python3 "$here/check_outputs.py" "$nfo" "$work/sent.bin" "$work/reference.px" $wh)
    check "$what: BMP, RAW and NFO agree, the BMP holds the library's image ($out)" test $? = 0
    bmp=${nfo%.NFO}.bmp
    check "$what: ImageMagick reads an 8-bit grey bitmap" \
      bash -c "identify -format '%z %[type]' '$bmp' | grep -Eq '^8 (Grayscale|Bilevel|Palette)'"
  done
done
check "no information file was ever seen incomplete" test ! -s "$work/incomplete"
check "no .NFOT is left" test -z "$(find "$images" -name '*.NFOT')"

# An empty plate: the empty-plate picture and its information file.
n=$(nfo_count)
check "scan of an empty plate" scan size=1 mode=0 kind=empty "save=$work/sent.bin"
nfo=$(wait_nfo "$n" 240)
check "empty plate: the information file appears" test -n "$nfo"
[ -n "$nfo" ] && check "empty plate: its files agree" python3 "$here/check_outputs.py" "$nfo" "$work/sent.bin" empty

# A rebuild program beside Orvaq.exe takes the plate: its ".NFOT" and command line.
cp "$winbin/reconstruction_fake_rebuild.exe" "$prog/OrvaqRbld2.exe"
n=$(nfo_count)
check "scan with the rebuild program present" scan size=0 mode=0
end=$((SECONDS + 240))
while [ $SECONDS -le $end ] && [ ! -s "$images/cmdline.txt" ]; do sleep 0.5; done
check "the rebuild program was started with its information file" \
  bash -c "iconv -f UTF-16LE -t UTF-8 '$images/cmdline.txt' | grep -q 'OrvaqRbld2.exe\" /rf /N:\".*\\.NFOT\"'"
check "its .NFOT is beside the raw file" test -n "$(find "$images" -name 'LAS*.NFOT')"
check "no classic outputs for that plate" test "$(nfo_count)" = "$n"

# No image is lost: without the filter library the raw data stays on disk and the log
# says where (the error box then waits for the operator, so this comes last).
rm -f "$prog/OrvaqRbld2.exe" "$prog/RXFilter.DLL"
check "scan with the filter library missing" scan size=0 mode=0 "save=$work/sent.bin"
end=$((SECONDS + 240))
kept=""
while [ $SECONDS -le $end ] && [ -z "$kept" ]; do
  f=$(orvaq_log)
  [ -n "$f" ] && kept=$(LC_ALL=C grep -a "Image brute conserv" "$f" | tail -n1 | LC_ALL=C sed 's/.* : //' | tr -d '\r')
  sleep 0.5
done
check "the log says where the raw data stays ($kept)" test -n "$kept"
kept_local=$(echo "${kept#Z:}" | tr '\\' /)
check "the raw data is there, whole" cmp -s "$kept_local" "$work/sent.bin"

bash "$lab" screenshot "$work/screen.png" >/dev/null 2>&1 || true
[ "$failures" = 0 ] || show_log
echo "$failures failure(s)"
[ "$failures" = 0 ]
