#!/usr/bin/env bash
# Lab test of the panel under real input: Orvaq.exe under Wine on a lab workstation in
# multiposte mode, driven with the X server's own mouse (xdotool) on the shared display.
# A drag anywhere moves the window; a drag from the bottom-right corner resizes it with
# its proportions kept; hovering the reservation button shows its tooltip; a click on the
# drawn reservation button reserves the scanner and a second click releases it, as the
# simulator's exchange record shows. Every wait polls with a time-out.
#   panel_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
# ORVAQ_PANEL_SHOTS=DIR keeps the screenshots.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
command -v xdotool >/dev/null || { echo "FAILED - xdotool missing (tools/setup.sh installs it)"; exit 1; }
lab_test_open opn 217 1 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL
shots=${ORVAQ_PANEL_SHOTS:-$work/shots}
mkdir -p "$shots"

window=""
find_window() { window=$(xdotool search --name '^Orvaq$' 2>/dev/null | head -n1); [ -n "$window" ]; }
geometry() {  # sets X Y WIDTH HEIGHT of the panel
  eval "$(xdotool getwindowgeometry --shell "$window")"
}
at() {  # at SKIN_X SKIN_Y: the screen point over a point of the 320 x 120 skin
  geometry
  echo "$((X + $1 * WIDTH / 320)) $((Y + $2 * HEIGHT / 120))"
}
drag() {  # drag FROM_X FROM_Y DX DY: press, move in steps, release
  local x=$1 y=$2 i
  xdotool mousemove "$x" "$y"
  sleep 0.2
  xdotool mousedown 1
  for i in 1 2 3 4; do sleep 0.1; xdotool mousemove $((x + $3 * i / 4)) $((y + $4 * i / 4)); done
  sleep 0.2
  xdotool mouseup 1
}
moved_to() { geometry; [ "$X" = "$1" ] && [ "$Y" = "$2" ]; }
wide() { geometry; [ "$WIDTH" -ge "$1" ]; }
tooltip_shown() {  # the tooltip's background colour near the pointer
  import -window root "$work/tip.png" 2>/dev/null &&
    [ "$(convert "$work/tip.png" -crop 400x200+"$((X))"+"$((Y))" txt:- 2>/dev/null | grep -ci '#EBF0F9')" -gt 200 ]
}
pixel() {  # pixel X Y: "R G B" of the screen
  import -window root "$work/px.png" 2>/dev/null &&
    convert "$work/px.png" -crop 1x1+"$1"+"$2" -depth 8 txt:- 2>/dev/null | sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
cap_green() {  # the reservation button's cap is lit green (held by this station)
  local r g b; read -r r g b < <(pixel $(at 273 63)); [ "${g:-0}" -gt $((${r:-255} + 60)) ]
}
cap_not_green() { ! cap_green; }
res_since() { rec res-list "$1" | awk -v ip="$LAB_WS1_IP" -v want="$2" '$2 == ip && $4 == want && $5 == 200'; }
res_seen() { [ -n "$(res_since "$1" "$2")" ]; }

prog=$work/prog
mkdir -p "$prog" "$work/images"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$prog"/
images=$(echo "Z:$work/images" | tr / '\\')
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=5\r\nLUMEQ2Color=3\r\nReservationDuration=600\r\nAdapterName=eth0\r\nImagesPath=%s\r\n' \
  "$images" > "$prog/Orvaq.INI"
check "simulator in multiposte mode" sim state mode=multi
bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Panel" /patient "Zoe Martin" /lang 409 >/dev/null
# The lab's shared display exists once a program runs there.
export DISPLAY
DISPLAY=$(cat "$LAB_STATE/display")

check "the panel appears" poll 120 find_window
if [ -z "$window" ]; then show_log 1; exit 1; fi
check "Orvaq links to the scanner" wait_log "Timer de contr.le SNDP" 240
geometry
check "the panel opens 160 x 60 at the top of the screen" test "$WIDTH" = 160 -a "$HEIGHT" = 60 -a "$Y" = 0
import -window root "$shots/linked.png" 2>/dev/null

# 1. A drag from the body moves the window.
x0=$X y0=$Y
read -r px py < <(at 60 100)
drag "$px" "$py" 120 150
check "a drag on the body moves the window" poll 10 moved_to $((x0 + 120)) $((y0 + 150))
# 2. A drag from the bottom-right corner resizes it, keeping the proportions.
geometry
drag $((X + WIDTH - 2)) $((Y + HEIGHT - 2)) 80 10
check "a drag on the corner makes it wider" poll 10 wide 230
geometry
check "the height follows the width ($WIDTH x $HEIGHT)" test $((HEIGHT * 320)) -ge $(((WIDTH - 2) * 120)) -a \
  $((HEIGHT * 320)) -le $(((WIDTH + 2) * 120))
import -window root "$shots/resized.png" 2>/dev/null
# 3. Hovering the reservation button shows its tooltip.
read -r bx by < <(at 266 59)
xdotool mousemove "$bx" "$by"
sleep 0.2
xdotool mousemove $((bx + 1)) "$by"
check "hovering the reservation button shows its tooltip" poll 10 tooltip_shown
cp "$work/tip.png" "$shots/tooltip.png" 2>/dev/null
# 4. A click on the drawn button reserves; a second click releases.
t0=$(rec last-t)
xdotool click 1
check "a click on the reservation button reserves the scanner" poll 60 res_seen "$t0" 1
check "Orvaq holds it" wait_log "R.servation effectu.e\." 30
xdotool mousemove 5 900
check "the panel shows the button held by this station" poll 30 cap_green
import -window root "$shots/reserved.png" 2>/dev/null
t1=$(rec last-t)
read -r bx by < <(at 266 59)
xdotool mousemove "$bx" "$by" click 1
check "a second click releases it" poll 60 res_seen "$t1" 0
xdotool mousemove 5 900
check "the panel shows the button free again" poll 30 cap_not_green
import -window root "$shots/released.png" 2>/dev/null

if [ "$failures" != 0 ]; then show_log 1; echo "$failures failure(s)"; exit 1; fi
echo "all checks passed"
