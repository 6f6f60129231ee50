#!/usr/bin/env bash
# Lab test of the acquisition controller against a misbehaving scanner: Orvaq.exe under
# Wine on a lab workstation, the simulator in monoposte mode sending malformed status
# frames and stalling an image transfer, its exchange record as the witness. Malformed
# frames (wrong length, magic, version, state 0, empty serial, reserving terminal above
# 10) leave Orvaq running and holding its reservation, and a plate scanned afterwards is
# still acknowledged; a transfer that stalls for more than 10 s ends in a full reset,
# never in "read_ok", and the station links again. Every wait polls with a generous
# time-out.
#   controller_faults_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
bin=$(cd "${1:?usage: controller_faults_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR}" && pwd)
winbin=${2:?usage: controller_faults_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR}
[ "$(id -u)" = 0 ] || { echo "SKIP: the lab needs root"; exit 77; }
for f in Orvaq.exe Orvaq.TXT RXFilter.DLL; do
  [ -f "$winbin/$f" ] || { echo "SKIP: $winbin/$f missing (build the win64 preset first)"; exit 77; }
done

export ORVAQ_LAB=ocf$$ ORVAQ_LAB_NET=10.215.$((100 + $$ % 100)) ORVAQ_LAB_BIN=$bin
lab="$root/tools/lab/lab.sh"
rec_py="$here/record.py"
work=$(mktemp -d /tmp/orvaq-ctlfaults-XXXXXX)
failures=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "FAILED - $what"; failures=$((failures + 1)); fi
}
finish() {
  # The lab ends exactly what it started (Orvaq under Wine included) and its namespaces.
  bash "$lab" down >/dev/null 2>&1 || true
  rm -rf "$work" "/tmp/orvaq-lab-$ORVAQ_LAB"
}
trap finish EXIT
trap 'exit 130' INT TERM

bash "$lab" up 1 >/dev/null || { echo "FAILED - lab up"; exit 1; }
eval "$(bash "$lab" env)"
rec() { python3 "$rec_py" "$LAB_RECORD" "$@"; }
orvaq_log() {  # the current Orvaq log file of the workstation (Latin-1 text)
  find "$LAB_STATE/ws1/prefix/drive_c/users" -path '*Logs KVW*' -name 'Orvaq.txt' 2>/dev/null | head -n1
}
log_has() { local f; f=$(orvaq_log); [ -n "$f" ] && LC_ALL=C grep -aq -- "$1" "$f"; }
wait_log() {  # wait_log PATTERN TIMEOUT_S
  local end=$((SECONDS + $2))
  while [ $SECONDS -le $end ]; do log_has "$1" && return 0; sleep 0.5; done
  return 1
}
sim() { bash "$lab" sim "$@" >/dev/null; }
orvaq_running() { bash "$lab" status | grep -q '^run-ws1: pid [0-9]* running'; }
show_log() {
  echo "--- Orvaq log (end):"; f=$(orvaq_log); [ -n "$f" ] && tail -n 60 "$f" | LC_ALL=C tr -cd '\11\12\15\40-\176'
  echo "--- run log:"; tail -n 20 "$LAB_STATE/ws1/run.log" 2>/dev/null
}

prog=$work/prog
mkdir -p "$prog" "$work/images"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$prog"/
cp "$winbin"/Orvaqerr.* "$prog"/ 2>/dev/null || true
images=$(echo "Z:$work/images" | tr / '\\')
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=3\r\nLUMEQ2Color=4\r\nReservationDuration=30\r\nAdapterName=eth0\r\nImagesPath=%s\r\n' \
  "$images" > "$prog/Orvaq.INI"

check "simulator in monoposte mode" sim state mode=mono
bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Smith" /patient Anne /lang 40c >/dev/null

mac=$(echo "$LAB_WS1_MAC" | tr a-f A-F)
printf 'ready=1\r\nterm=03\r\ncolor=05\r\nmac=%s\r\ntext_coding=ASCII\r\ndoc_name=Dr Smith\r\npat_name=Anne\r\ntime=000\r\nlevel=0\r\nmode=sd' \
  "$mac" > "$work/id.txt"
t_id=$(rec wait-body lumeq2.id "$work/id.txt" 0 180)
check "the station identifies" test -n "$t_id"
t_res=$(rec wait-held "${t_id:-0}" 90)
check "and reserves by itself" test -n "$t_res"
if [ -z "$t_res" ]; then show_log; echo "$failures failure(s)"; exit 1; fi

# 1. Malformed status frames, five of each kind in a row. Afterwards Orvaq still runs,
#    receives frames again, and holds the scanner: a refresh or a new reservation of its
#    own is granted (the reservation runs out after 40 s, so it cannot be the old one).
for kind in length magic version state0 serial resa; do
  t0=$(rec last-t)
  check "[$kind] five malformed frames armed" sim fault "frame=$kind:5"
  t_end=$(rec wait-frames "$t0" 7 120)
  check "[$kind] they were sent, and sound ones follow" test -n "$t_end"
  check "[$kind] Orvaq still runs" orvaq_running
  t_held=$(rec wait-held "${t_end:-$t0}" 120)
  check "[$kind] the station holds the scanner again" test -n "$t_held"
  check "[$kind] the simulator reports terminal 3 as holder" \
    bash -c "bash '$lab' sim status | grep -q '\"resaTerminal\":3'"
done

# 2. After all that, a plate is still received and acknowledged.
t1=$(rec last-t)
check "scan of a good plate" sim scan size=1
check "the plate is acknowledged with read_ok" test -n "$(rec wait-prm read_ok "$t1" 180)"

# 3. A transfer that stalls mid-stream for more than 10 s: the watchdog gives up, the
#    link is reset in full, the plate is never acknowledged, and the station links again.
check "the next transfer stalls after 64 KiB until the station closes" sim fault stall=65536:-1
t2=$(rec last-t)
check "scan of a plate whose transfer stalls" sim scan size=1
check "the transfer watchdog fires" wait_log "Watchdog de transfert d'image." 180
check "the link is reset in full" wait_log "HardwareInfos return : Full reset 1." 120
check "the station identifies again" test -n "$(rec wait-body lumeq2.id "$work/id.txt" "$t2" 240)"
check "the stalled plate is never acknowledged read_ok" test "$(rec count-prm read_ok "$t2")" = 0
check "Orvaq still runs" orvaq_running

[ "$failures" = 0 ] || show_log
echo "$failures failure(s)"
[ "$failures" = 0 ]
