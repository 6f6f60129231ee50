#!/usr/bin/env bash
# Lab test of the multi-plate composition: Orvaq.exe under Wine on a lab workstation, parts
# of a two- or three-plate image scanned on the simulator, the operator's clicks made with
# the X server's own mouse (xdotool) on the panel. Each composed image is checked against
# the host library's composition of the parts the simulator sent, in the order and
# orientation the operator and the library's advice gave them.
#   A. three parts wanted, scanned 3, 1, 2: the advice puts them in order and waits; a
#      click on "validate" composes them;
#   B. two parts wanted (two clicks on the mode button): composed after DelayT4 alone;
#   C. two parts, then "exchange" and "rotate box 1" clicked: composed turned and swapped;
#   D. one part, then "cut": the part becomes a plate of its own.
#   multiplate_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR COMPOSITION_REFERENCE
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
command -v xdotool >/dev/null || { echo "FAILED - xdotool missing (tools/setup.sh installs it)"; exit 1; }
reference=${3:?usage: multiplate_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR COMPOSITION_REFERENCE}
lab_test_open omp 218 1 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL

prog=$work/prog
images=$work/images
mkdir -p "$prog" "$images"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$prog"/
winimages=$(echo "Z:$images" | tr / '\\')
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=3\r\nLUMEQ2Color=4\r\nAdapterName=eth0\r\nAcquisitionUseT4=2\r\nDelayT4=20\r\n' \
  > "$prog/Orvaq.INI"
check "simulator in monoposte mode" sim state mode=mono
bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Smith" /patient "Anne Martin" /idpatient 77 \
  /image_path "$winimages" /lang 40c >/dev/null
export DISPLAY
DISPLAY=$(cat "$LAB_STATE/display")

window=""
find_window() { window=$(xdotool search --name '^Orvaq$' 2>/dev/null | head -n1); [ -n "$window" ]; }
geometry() { eval "$(xdotool getwindowgeometry --shell "$window")"; }
click() {  # click SKIN_X SKIN_Y: a real click at a point of the panel's skin (320 wide)
  geometry
  local total=$((HEIGHT * 320 / WIDTH))
  xdotool mousemove $((X + $1 * WIDTH / 320)) $((Y + $2 * HEIGHT / total)) click 1
  sleep 0.3
  xdotool mousemove 5 1000
}
panel_high() { geometry; [ $((HEIGHT * 320 / WIDTH)) -ge 350 ]; }
# The log starts again after each acknowledged image: its lines are kept as they come. A
# snapshot is read each time; the log started again when it no longer begins with the
# bytes already kept (a size check alone misses a new log that has grown past the old one).
# Runs in this shell, never in a $(...), so that what was kept is remembered.
archived=0
log_head=""
log_archive() {
  local f size
  f=$(orvaq_log)
  [ -n "$f" ] && cp "$f" "$work/log.snap" 2>/dev/null || return 0
  size=$(stat -c %s "$work/log.snap")
  if [ "$size" -lt "$archived" ] || [ "$(head -c "$archived" "$work/log.snap" | md5sum)" != "$log_head" ]; then
    archived=0
  fi
  tail -c +$((archived + 1)) "$work/log.snap" >> "$work/log.all"
  archived=$size
  log_head=$(md5sum < "$work/log.snap")
}
count_at_least() {  # count_at_least PATTERN N: the whole log so far has N such lines
  local n
  log_archive
  n=$(LC_ALL=C grep -ac -- "$1" "$work/log.all" 2>/dev/null)
  [ "${n:-0}" -ge "$2" ]
}
nfo_count() { ls "$images"/*.NFO 2>/dev/null | wc -l; }
new_nfo() { [ "$(nfo_count)" -gt "$1" ]; }
latest_nfo() { ls -t "$images"/*.NFO | head -n1; }
scan_part() {  # scan_part K N: part K of N, kept as $work/partK.bin
  local end=$((SECONDS + 180))
  while [ $SECONDS -le $end ]; do
    sim scan size=0 mode=0 kind=part part="$1" parts="$2" "save=$work/part$1.bin" && return 0
    sleep 1
  done
  return 1
}
# Each part is acknowledged once the library has recognised it: the exchange record counts
# them (the log cannot, as it starts again at each acknowledgement, often between polls).
examined=0
t_parts=0
acknowledged_at_least() { [ "$(rec count-prm read_ok "$t_parts")" -ge "$1" ]; }
wait_examined() {  # the next part went through the library's recognition
  examined=$((examined + 1))
  poll 120 acknowledged_at_least "$examined"
}
compare() {  # compare WHAT FLAGS RAW...: the newest .NFO against the reference composition
  local what=$1 flags=$2 wh out; shift 2
  wh=$("$reference" "$flags" "$work/reference.px" "$@")
  check "$what: the reference composition" test -n "$wh"
  [ -n "$wh" ] || return 1
  out=$(python3 "$here/check_composition.py" "$(latest_nfo)" "$work/reference.px" $wh 2>&1)
  check "$what: the composed image is the parts' composition ($out)" test $? = 0
}

check "the panel appears" poll 120 find_window
check "Orvaq holds the scanner" wait_log "R.servation effectu.e\." 240
t_parts=$(rec last-t)
[ "$failures" = 0 ] || { show_log; exit 1; }

# A. Three parts out of order; the advice arranges them and waits for the operator.
n=$(nfo_count)
for k in 3 1 2; do
  check "A: part $k of 3 scanned" scan_part "$k" 3
  check "A: part $k recognised" wait_examined
done
check "A: the panel shows the multi-plate boxes" poll 30 panel_high
bash "$lab" screenshot "$work/three-boxes.png" >/dev/null 2>&1
click 305 290  # validate
check "A: validate composes the image" poll 120 new_nfo "$n"
[ "$(nfo_count)" -gt "$n" ] && compare "A" 0x111010 "$work/part1.bin" "$work/part2.bin" "$work/part3.bin"

# B. Two parts wanted: the mode button steps 2 -> 0 -> 1; composed after DelayT4 (20 s).
click 76 139
click 76 139
check "B: the mode button was used twice" poll 10 count_at_least "Action sur le bouton mode T4\." 2
n=$(nfo_count)
for k in 1 2; do
  check "B: part $k of 2 scanned" scan_part "$k" 2
  check "B: part $k recognised" wait_examined
done
check "B: composed alone after DelayT4" poll 90 new_nfo "$n"
[ "$(nfo_count)" -gt "$n" ] && compare "B" 0x11001 "$work/part1.bin" "$work/part2.bin"

# C. Exchange, then rotate box 1 (which then holds part 2); validate.
n=$(nfo_count)
for k in 1 2; do
  check "C: part $k of 2 scanned" scan_part "$k" 2
  check "C: part $k recognised" wait_examined
done
poll 30 panel_high
click 97 345   # exchange boxes 1 and 2
click 52 346   # rotate box 1
bash "$lab" screenshot "$work/exchanged-rotated.png" >/dev/null 2>&1
click 305 290  # validate
check "C: validate composes the image" poll 120 new_nfo "$n"
[ "$(nfo_count)" -gt "$n" ] && compare "C" 0x12001 "$work/part2.bin" "$work/part1.bin"

# D. Cut: the part is reconstructed as a plate of its own.
n=$(nfo_count)
check "D: part 1 of 2 scanned" scan_part 1 2
check "D: part 1 recognised" wait_examined
poll 30 panel_high
click 305 162  # cut
check "D: cut makes it a plate of its own" poll 120 new_nfo "$n"
[ "$(nfo_count)" -gt "$n" ] && check "D: an ordinary plate's information file" \
  bash -c "iconv -f UTF-16LE -t UTF-8 '$(latest_nfo)' | tr -d '\r' | grep -qx 'Size=0'"

# No part is lost: no raw file of a part is left behind.
check "no part's raw file is left" test -z "$(find "$images" -maxdepth 1 -iname 'LAST*.tmp')"
bash "$lab" screenshot "$work/end.png" >/dev/null 2>&1
[ -n "${ORVAQ_MULTIPLATE_SHOTS:-}" ] && cp "$work"/*.png "$ORVAQ_MULTIPLATE_SHOTS"/ 2>/dev/null
[ "$failures" = 0 ] || show_log
echo "$failures failure(s)"
[ "$failures" = 0 ]
