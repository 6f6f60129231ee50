#!/usr/bin/env bash
# Lab test of the parameter sheet, the technical setup and the service console under
# real input (xdotool on the lab's shared display), with effects checked on the
# simulator, not only in Orvaq's requests. From a fresh settings file: the parameter
# button opens the sheet, the adapter is chosen, the simulator shows in the scanner list
# within the refresh period, "Multi" with station 5 is connected; the service console
# sends a command and shows the answer (the sheet then asks for a restart); after the
# restart Orvaq identifies as station 5 with the colour of entry 5; the technical setup
# synchronises the scanner's clock, lists the registered stations and resets station 5's
# link. Every wait polls with a time-out.
#   sheet_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
# ORVAQ_SHEET_SHOTS=DIR keeps the screenshots.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
command -v xdotool >/dev/null || { echo "FAILED - xdotool missing (tools/setup.sh installs it)"; exit 1; }
lab_test_open shl 219 1 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT Orvaqerr.409 RXFilter.DLL
shots=${ORVAQ_SHEET_SHOTS:-$work/shots}
mkdir -p "$shots"

# Window-relative points of the controls (the templates' dialog units at the default
# GUI font, as the Wine screenshots of the sheet show them).
PARAM_SKIN="10 10"           # the parameter button on the 320 x 120 skin
SCANNER_COMBO="120 212"
NUMBER_COMBO="183 241"
CONNECT="386 269"
SHEET_OK="334 459"
SHEET_CANCEL="411 459"
CONSOLE_EDIT="272 388"
TECH_SYNC="118 75"
TECH_RESET_LINK="118 104"
TECH_CANCEL="571 384"

panel=""
find_panel() { panel=$(xdotool search --name '^Orvaq$' 2>/dev/null | head -n1); [ -n "$panel" ]; }
sheet=""
find_sheet() { sheet=$(xdotool search --name '^Orvaq settings' 2>/dev/null | head -n1); [ -n "$sheet" ]; }
no_sheet() { ! xdotool search --name '^Orvaq settings' >/dev/null 2>&1; }
technical=""
find_technical() { technical=$(xdotool search --name '^Technical settings$' 2>/dev/null | head -n1); [ -n "$technical" ]; }
no_panel() { ! xdotool search --name '^Orvaq$' >/dev/null 2>&1; }
click_in() {  # click_in WINDOW X Y: a click at a window-relative point
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + $2)) $((Y + $3))
  sleep 0.2
  xdotool click 1
}
click_with() {  # click_with WINDOW X Y KEYS...: the pointer goes there first, since Wine
  # resets the modifier keys when the pointer enters a window; then the keys, the click
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + $2)) $((Y + $3))
  sleep 0.5
  local w=$1; shift 3
  xdotool keydown "$@"
  sleep 0.3
  xdotool click 1
  sleep 0.5
  xdotool keyup "$@"
}
open_sheet() {
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  set -- $PARAM_SKIN
  xdotool mousemove $((X + $1 * WIDTH / 320)) $((Y + $2 * HEIGHT / 120))
  sleep 0.2
  xdotool click 1
  poll 20 find_sheet
}
answer_box() {  # the message box in front gets its default button
  sleep 0.5
  xdotool key Return
}
answer_info_box() {  # the information box (one OK button, bottom centre) gets a click
  local w
  for w in $(xdotool search --name '^Orvaq$' 2>/dev/null); do
    [ "$w" = "$panel" ] && continue
    eval "$(xdotool getwindowgeometry --shell "$w")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 22))
    sleep 0.3
    xdotool click 1
  done
}
start_orvaq() {
  bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Sheet" /patient "Ann Lee" /lang 409 >/dev/null
  export DISPLAY
  DISPLAY=$(cat "$LAB_STATE/display")
  poll 120 find_panel
}
status_has() { bash "$lab" sim status | tr -d ' ' | grep -q -- "$1"; }
requested() { rec dump "$1" | grep -q -- "$2"; }

prog=$work/prog
mkdir -p "$prog" "$work/images"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/Orvaqerr.409 "$winbin"/RXFilter.DLL "$prog"/
check "simulator in multiposte mode" sim state mode=multi

# 1. A fresh settings file: the sheet opens on its configuration page and picks the
#    adapter itself.
check "the panel appears" start_orvaq
if [ -z "$panel" ]; then show_log 1; exit 1; fi
check "the parameter button opens the sheet" open_sheet
[ -n "$sheet" ] || { show_log 1; exit 1; }
check "the sheet is logged" wait_log "Ouverture de la fen.tre de param.trage\." 10
check "the adapter is chosen and the listener follows it" wait_log "HardwareInfos : 1 sur NULL\." 10
import -window root "$shots/sheet_opened.png" 2>/dev/null
# 2. The simulator shows in the list within the first refresh (5 s) plus a period (2 s).
pick() {  # pick X Y N: opens the drop-down list at X Y and clicks its Nth entry (13 px each)
  click_in "$sheet" "$1" "$2"
  sleep 0.5
  click_in "$sheet" "$1" $(($2 + 4 + 13 * $3))
}
# The scanner list replaces the progress bar at the first refresh (5 s after opening).
check "the sheet asks for the scanners" wait_log "HardwareInfos : 0 sur NULL\." 10
selected() { pick $SCANNER_COMBO 1; wait_log "HardwareInfos : 102 sur " 3; }
check "the simulator can be chosen in the scanner list" poll 9 selected
import -window root "$shots/sheet_scanner.png" 2>/dev/null
[ -n "${SHEET_LAB_STOP:-}" ] && { cp "$(orvaq_log 1)" "$shots/orvaq_log.txt"; exit 1; }
# 3. "Multi" (the scanner's mode) with station 5; the colour follows the number.
check "the scanner's stations are asked for" wait_log "AdminAction : 3 sur " 5
# Station 5: the list is "1" ... "10" (no station registered yet).
pick $NUMBER_COMBO 5
sleep 0.5
import -window root "$shots/sheet_number.png" 2>/dev/null
t0=$(rec last-t)
click_in "$sheet" $CONNECT
answer_box
import -window root "$shots/sheet_connected.png" 2>/dev/null
click_in "$sheet" $SHEET_OK
check "OK closes the sheet" poll 10 no_sheet
check "the sheet's closing is logged" wait_log "Fermeture de la fen.tre de param.trage\." 10
check "Orvaq identifies as station 5" poll 30 status_has '"term":5,'

# 4. The service console: Alt+Ctrl+OK, a command, its answer; then a restart.
check "the sheet opens again" open_sheet
t1=$(rec last-t)
click_with "$sheet" $SHEET_OK ctrl alt
sleep 1
click_in "$sheet" $CONSOLE_EDIT
xdotool type "demo"
xdotool key Return
check "the console's command reaches the scanner" poll 20 requested "$t1" "'demo'"
import -window root "$shots/console.png" 2>/dev/null
click_in "$sheet" $SHEET_CANCEL
check "the sheet asks for a restart" wait_log "Restart n.cessaire apr.s fermeture" 20
sleep 1
answer_info_box
check "Orvaq closes for the restart" poll 20 no_panel

# 5. After the restart: station 5 with its colour, then the technical setup.
check "Orvaq starts again" start_orvaq
t2=$(rec last-t)
check "it identifies again as station 5" poll 60 requested "$t2" "lumeq2.id"
check "the sheet opens on the linked scanner" open_sheet
click_with "$sheet" $SHEET_OK shift ctrl
check "Shift+Ctrl+OK opens the technical setup" poll 20 find_technical
sleep 1
import -window root "$shots/technical.png" 2>/dev/null
check "the technical setup lists the registered stations" requested "$t2" "get_doctor=05"
t3=$(rec last-t)
click_in "$technical" $TECH_SYNC
check "the clock is synchronised on the scanner" poll 20 requested "$t3" "'time="
check "the scanner's clock is this computer's" status_has '"clockOffsetS":-\{0,1\}[01],'
click_in "$technical" $TECH_RESET_LINK
answer_box
check "station 5's link is reset on the scanner" poll 20 requested "$t3" "reset_terminal=05"
check "the scanner no longer knows station 5" poll 20 bash -c "! bash '$lab' sim status | tr -d ' ' | grep -q '\"term\":5,'"
click_in "$technical" $TECH_CANCEL
check "the technical setup ends with a restart" wait_log "Restart n.cessaire apr.s fermeture" 20
sleep 1
answer_info_box

bash "$lab" sim status | head -c 1500; echo
if [ "$failures" != 0 ]; then cp "$(orvaq_log 1)" "$shots/orvaq_log.txt" 2>/dev/null; show_log 1; rec dump 0 | tail -n 40; echo "$failures failure(s)"; exit 1; fi
echo "all checks passed"
