#!/usr/bin/env bash
# Lab test: no image is lost or delivered twice when Orvaq is killed, and only the scanner
# delivers images. Orvaq.exe under Wine on workstation 1, the simulator in monoposte mode.
# 1. Workstation 2, a stray host, sends a plausible raw file to the image port while
#    Orvaq holds the scanner; the connection is refused and logged, and the scanner's
#    own plate that follows is the only one written.
# 2. Each patient in turn scans a plate and Orvaq is killed (SIGKILL) at a step of the
#    reconstruction (once kept, in the correction, in the noise filter), or once the plate
#    was handed over to the rebuild program and
#    acknowledged; Orvaq is then started for the next patient. The killed patient's plate
#    appears in the killed patient's folder, exactly once, with its own bytes; when the
#    scanner still holds it (not acknowledged), the operator reads it as the waiting image
#    and it is acknowledged without a second image; the next patient gets nothing of it.
#   recovery_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
lab_test_open orc 223 2 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL orvaq-press.exe \
  reconstruction_fake_rebuild.exe rawimage_1.bin

prog=$work/prog
mkdir -p "$prog"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$winbin"/orvaq-press.exe "$prog"/
cp "$winbin"/Orvaqerr.* "$prog"/ 2>/dev/null || true
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=3\r\nLUMEQ2Color=4\r\nReservationDuration=30\r\nAdapterName=eth0\r\n' \
  > "$prog/Orvaq.INI"

orvaq_pid() { bash "$lab" status | sed -n 's/^run-ws1: pid \([0-9]*\) running.*/\1/p' | tail -n1; }
orvaq_running() { [ -n "$(orvaq_pid)" ]; }
# start_for PATIENT ID: Orvaq for that patient, images in $work/imgID; the log of the
# run before is kept as $work/log-ID.txt (shown on failure), so every wait reads this run's.
start_for() {
  local log; log=$(orvaq_log)
  [ -n "$log" ] && mv "$log" "$work/log-$2.txt"
  mkdir -p "$work/img$2"
  bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Smith" /patient "$1" /idpatient "$2" \
    /image_path "$(echo "Z:$work/img$2" | tr / '\\')" /lang 40c >/dev/null
}
folder() { echo "$work/img$1"; }
nfos() { find "$(folder "$1")" -maxdepth 1 -name '*.NFO' | wc -l; }
# The scanner scans only for its holder: retried until the station holds it again.
scan() {
  local end=$((SECONDS + 180))
  while [ $SECONDS -le $end ]; do sim scan "$@" && return 0; sleep 1; done
  return 1
}
# has_plate ID FILE NAME: a ".NFO" in the patient's folder names NAME and its ".RAW" holds FILE.
has_plate() {
  local nfo
  for nfo in "$(folder "$1")"/*.NFO; do
    [ -e "$nfo" ] || continue
    cmp -s "${nfo%.NFO}.RAW" "$2" && iconv -f UTF-16LE -t UTF-8 "$nfo" 2>/dev/null | grep -q "^Name=$3"$'\r'"\?$" && return 0
  done
  return 1
}
# kill_at PATTERN: kills Orvaq as soon as its log shows the line.
kill_at() {
  local end=$((SECONDS + 180)) f="" pid
  pid=$(orvaq_pid)
  [ -n "$pid" ] || return 1
  while [ $SECONDS -le $end ]; do
    [ -n "$f" ] || f=$(orvaq_log)
    if [ -n "$f" ] && LC_ALL=C grep -aq -- "$1" "$f" 2>/dev/null; then
      kill -9 "$pid"
      poll 30 bash -c "! bash '$lab' status | grep -q '^run-ws1: pid [0-9]* running'"
      return
    fi
    sleep 0.05
  done
  return 1
}

check "simulator in monoposte mode" sim state mode=mono
start_for "Anne Stray" 100
check "the station holds the scanner" test -n "$(rec wait-held 0 180)"

# 1. A stray host on the image port, then the scanner's own plate.
check "a plate is delivered" scan size=0 mode=0 "save=$work/first.bin"
check "  into the patient's folder" poll 240 has_plate 100 "$work/first.bin" "Anne Stray"
bash "$lab" exec 2 python3 - "$LAB_WS1_IP" "$winbin/rawimage_1.bin" <<'PY'
import socket, sys
try:
    s = socket.create_connection((sys.argv[1], 3333), 10)
    s.sendall(open(sys.argv[2], "rb").read())
    s.close()
except OSError as e:
    print("stray host:", e)
PY
check "the stray connection is refused and named" \
  wait_log "Connexion image refus.e de $LAB_WS2_IP : ce n'est pas le scanner." 60
check "the scanner's own plate follows" scan size=0 mode=0 "save=$work/own.bin"
check "  and is delivered" poll 240 has_plate 100 "$work/own.bin" "Anne Stray"
check "  as the only other image (2 in all: $(nfos 100))" test "$(nfos 100)" = 2
check "the stray's bytes are stored nowhere" \
  bash -c "! find '$work' -name '*.RAW' -exec cmp -s '$winbin/rawimage_1.bin' {} \; -print | grep -q ."

# 2. Killed at each step, started for the next patient.
victim=100 victim_name="Anne Stray" id=100
round() {  # round WHAT PATTERN|handover
  local what=$1 at=$2 before t name
  id=$((id + 1)); name="Patient $id"
  before=$(nfos "$victim")
  t=$(rec last-t)
  if [ "$at" = handover ]; then cp "$winbin/reconstruction_fake_rebuild.exe" "$prog/OrvaqRbld2.exe"; fi
  # The largest plate: its steps last long enough to be caught.
  check "$what: scan for $victim_name" scan size=3 mode=10 "save=$work/plate$id.bin"
  if [ "$at" = handover ]; then
    check "$what: acknowledged after the hand-over" test -n "$(rec wait-prm read_ok "$t" 240)"
    kill_at "Reset du log suite"
    rm -f "$prog/OrvaqRbld2.exe"
  else
    check "$what: killed" kill_at "$at"
  fi
  check "$what: Orvaq is gone" bash -c "! bash '$lab' status | grep -q '^run-ws1: pid [0-9]* running'"
  local acked; acked=$(rec count-prm read_ok "$t")
  start_for "$name" "$id"
  check "$what: the plate appears for $victim_name, in its folder, with its bytes" \
    poll 240 has_plate "$victim" "$work/plate$id.bin" "$victim_name"
  if [ "$acked" = 0 ]; then
    # Not acknowledged: the scanner still holds it and offers it as the waiting image.
    local t2; t2=$(rec last-t)
    if wait_log "Une image bloqu.e en attente." 120; then
      bash "$lab" run 1 "$prog/orvaq-press.exe" --answer-box --timeout 60 >/dev/null
    fi
    check "$what: the waiting image is read again" test -n "$(rec wait-image sent "$t2" 180)"
    check "$what: and acknowledged" test -n "$(rec wait-prm read_ok "$t2" 180)"
  fi
  check "$what: exactly one image for $victim_name ($(nfos "$victim") after $before)" \
    test "$(nfos "$victim")" = $((before + 1))
  check "$what: nothing for the new patient ($(nfos "$id"))" test "$(nfos "$id")" = 0
  # The killed run's reservation may still count down on the scanner: the next plate
  # waits for this run's own.
  check "$what: the new run holds the scanner" wait_log "R.servation effectu.e\." 180
  victim=$id victim_name=$name
}
round "killed once the plate is kept" "Plaque conserv.e jusqu"
round "killed in the correction" "Reconstruction de l'image en une seule passe"
round "killed in the noise filter" "reconstruction : filtre"
round "killed after the hand-over" handover

t=$(rec last-t)
check "the last patient scans" scan size=0 mode=0 "save=$work/last.bin"
check "  and gets that plate" poll 240 has_plate "$victim" "$work/last.bin" "$victim_name"
check "the scanner keeps no image" poll 60 bash -c "bash '$lab' sim status | grep -q '\"imageHeld\":false'"
check "never two holders at once" rec check-holders

if [ "$failures" != 0 ]; then
  show_log
  keep=/tmp/orvaq-recovery-failed; rm -rf "$keep"; mkdir -p "$keep"
  cp -r "$work"/log-*.txt "$work"/img* "$keep"/ 2>/dev/null
  cp "$(orvaq_log)" "$keep/log-last.txt" 2>/dev/null
  cp -r "$(dirname "$(dirname "$(orvaq_log)")")/Orvaq" "$keep/data" 2>/dev/null
  echo "logs and folders kept in $keep"
fi
echo "$failures failure(s)"
[ "$failures" = 0 ]
