#!/usr/bin/env bash
# Lab test of two stations sharing one scanner in multiposte: Orvaq.exe under Wine on two
# lab workstations (stations 3 and 5), the simulator's exchange record as the witness.
# Round after round both stations press the reservation button at the same moment: the
# scanner grants exactly one, the other is refused and knows it (no image listener, no
# release of a reservation it never had), and a plate goes to the winner only, who then
# lets go. A scanner that asks station 5 while 3 holds gets nothing until 3 lets go. Over
# the whole record no two terminals ever hold the scanner at once, and no station's log
# claims a reservation the scanner refused. Every wait polls with a generous time-out.
#   controller_two_stations_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
# ORVAQ_TWO_STATIONS_SHOT=FILE.png keeps a screenshot of the two stations once linked.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
lab_test_open ots 216 2 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL orvaq-press.exe

# Workstation N runs station term[N]; the arrays are indexed by workstation.
term=([1]=3 [2]=5)
color=([1]=4 [2]=6)
doctor=([1]="Dr One" [2]="Dr Two")
patient=([1]=Alpha [2]=Beta)
ip=([1]=$LAB_WS1_IP [2]=$LAB_WS2_IP)
mac=([1]=$(echo "$LAB_WS1_MAC" | tr a-f A-F) [2]=$(echo "$LAB_WS2_MAC" | tr a-f A-F))

log_count() {  # log_count N PATTERN: matching lines in workstation N's current log
  local f; f=$(orvaq_log "$1")
  if [ -n "$f" ]; then LC_ALL=C grep -ac -- "$2" "$f"; else echo 0; fi
}
log_count_at_least() { [ "$(log_count "$1" "$2")" -ge "$3" ]; }

# A station's log starts again after each "read_ok"; its lines are kept in an archive as
# they come, so that the whole history can be read at the end.
declare -A archived=([1]=0 [2]=0)
archive_log() {
  local n=$1 f size
  f=$(orvaq_log "$n"); [ -n "$f" ] || return 0
  size=$(stat -c %s "$f")
  [ "$size" -lt "${archived[$n]}" ] && archived[$n]=0
  tail -c +$((archived[$n] + 1)) "$f" | head -c $((size - archived[$n])) >> "$work/log$n.all"
  archived[$n]=$size
}

nfo_count() { find "$work/ws$1/images" -iname '*.NFO' 2>/dev/null | wc -l; }
# The image listener is a listening TCP socket in the workstation's own namespace (Wine
# opens its sockets in the wineserver, which runs there).
listening() { [ -n "$(bash "$lab" exec "$1" ss -Hltn "sport = :$image_port" 2>/dev/null)" ]; }
not_listening() { ! listening "$1"; }
press() {  # press N [--at EPOCH_MS]: the reservation button of workstation N
  local n=$1; shift
  timeout 150 bash "$lab" run "$n" "$winbin/orvaq-press.exe" --timeout 90 "$@" > "$work/press$n.out" 2>&1
}
# Reservation requests (lumeq2.res) since a moment, as "t ip term ready status" lines,
# filtered by an awk condition; res_wait polls until one matches.
res_match() { rec res-list "$1" | awk "$2"; }
res_wait() {  # res_wait SINCE_MS TIMEOUT_S AWK_CONDITION -> the first matching line
  local end=$((SECONDS + $2)) out
  while :; do
    out=$(res_match "$1" "$3" | head -n1)
    [ -n "$out" ] && { echo "$out"; return 0; }
    [ $SECONDS -ge $end ] && return 1
    sleep 0.5
  done
}
from() { echo "\$2==\"${ip[$1]}\""; }  # awk condition: sent by workstation N

# Each station: its own program folder, settings file and images folder. Both ask for
# 600 s reservations, so that no reservation runs out during a round.
for n in 1 2; do
  prog=$work/ws$n/prog
  mkdir -p "$prog" "$work/ws$n/images"
  cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$prog"/
  cp "$winbin"/Orvaqerr.* "$prog"/ 2>/dev/null || true
  images=$(echo "Z:$work/ws$n/images" | tr / '\\')
  printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=%d\r\nLUMEQ2Color=%d\r\nReservationDuration=600\r\nAdapterName=eth0\r\nImagesPath=%s\r\n' \
    "${term[$n]}" "${color[$n]}" "$images" > "$prog/Orvaq.INI"
  printf 'ready=1\r\nterm=%02d\r\ncolor=%02d\r\nmac=%s\r\ntext_coding=ASCII\r\ndoc_name=%s\r\npat_name=%s\r\ntime=000\r\nlevel=0\r\nmode=sd' \
    "${term[$n]}" "$((color[$n] + 1))" "${mac[$n]}" "${doctor[$n]}" "${patient[$n]}" > "$work/id$n.txt"
done

check "simulator in multiposte mode" sim state mode=multi
image_port=$(bash "$lab" sim status | sed -n 's/.*"imagePort":\([0-9]*\).*/\1/p')
for n in 1 2; do
  bash "$lab" run "$n" --bg "$work/ws$n/prog/Orvaq.exe" /doctor "${doctor[$n]}" /patient "${patient[$n]}" /lang 40c >/dev/null
done

# 1. Both stations link and identify, each with its own payload from its own address.
for n in 1 2; do
  t_id=$(rec wait-body lumeq2.id "$work/id$n.txt" 0 240)
  check "station ${term[$n]} identifies with exactly its payload" test -n "$t_id"
  check "station ${term[$n]} identified from its workstation's address" \
    grep -q "\"from\":\"${ip[$n]}:[0-9]*\",\"request\":\"POST /lumeq2.id HTTP/1.0\",.*term=$(printf %02d "${term[$n]}")" "$LAB_RECORD"
done
if [ "$failures" != 0 ]; then show_log 1; show_log 2; echo "$failures failure(s)"; exit 1; fi
check "multiposte: neither station reserves by itself" test -z "$(res_match 0 '$4==1')"
if [ -n "${ORVAQ_TWO_STATIONS_SHOT:-}" ]; then
  # Both windows show the link once each station has run a status control period since.
  for n in 1 2; do
    poll 30 log_count_at_least "$n" "Timer de contr.le SNDP" $(($(log_count "$n" "Timer de contr.le SNDP") + 1))
  done
  bash "$lab" screenshot "$ORVAQ_TWO_STATIONS_SHOT" && echo "# screenshot: $ORVAQ_TWO_STATIONS_SHOT"
fi

# 2. Rounds in which both press at the same moment. A round is contested when both
#    requests reach the scanner; a station that already saw the other's reservation in a
#    status frame refuses by itself, which is sound but no race, so rounds go on until
#    three were contested.
contested=0
round=0
declare -A won=([1]=0 [2]=0)
run_round() {
  local r=$1 p="[round $1]" t0 at r1 r2 granted w l refused t_ref ts t_ok tr n
  local -A ok_before fail_before listen_before nfo_before self_refused_before
  t0=$(rec last-t)
  for n in 1 2; do
    ok_before[$n]=$(log_count "$n" "R.servation effectu.e\.")
    fail_before[$n]=$(log_count "$n" "Echec de la r.servation\.")
    listen_before[$n]=$(log_count "$n" "Mise en place du client image\.")
    self_refused_before[$n]=$(log_count "$n" "Action refus.e pour une autre raison")
    nfo_before[$n]=$(nfo_count "$n")
  done
  at=$(($(date +%s%3N) + 8000))
  press 1 --at "$at" & local j1=$!
  press 2 --at "$at" & local j2=$!
  wait "$j1"; r1=$?
  wait "$j2"; r2=$?
  check "$p both stations press at the same moment" test "$r1" = 0 -a "$r2" = 0
  echo "# $p $(tr -d '\r' < "$work/press1.out" | tail -n1) / $(tr -d '\r' < "$work/press2.out" | tail -n1)"

  granted=$(res_wait "$t0" 90 '$4==1 && $5==200')
  check "$p the scanner grants a reservation" test -n "$granted"
  if [ -z "$granted" ]; then rec res-list "$t0"; return 1; fi
  # The other station's press has had its outcome: its request answered (on record), or
  # refused by the station itself without a request.
  if [ "$(echo "$granted" | cut -d' ' -f2)" = "${ip[1]}" ]; then l=2; else l=1; fi
  other_done() {
    [ -n "$(res_match "$t0" "$(from "$l") && \$4==1")" ] ||
      log_count_at_least "$l" "Action refus.e pour une autre raison" $((self_refused_before[$l] + 1))
  }
  check "$p the other station's press has its outcome" poll 60 other_done
  check "$p exactly one reservation is granted" test "$(res_match "$t0" '$4==1 && $5==200' | wc -l)" = 1
  if [ "$(echo "$granted" | cut -d' ' -f2)" = "${ip[1]}" ]; then w=1 l=2; else w=2 l=1; fi
  won[$w]=1
  echo "# $p station ${term[$w]} won; requests (t ip term ready status): $(rec res-list "$t0" | paste -sd';' -)"
  check "$p the granted request is the winner's own terminal" \
    test "$(echo "$granted" | cut -d' ' -f3)" = "${term[$w]}"

  refused=$(res_match "$t0" "$(from $l) && \$4==1" | head -n1)
  if [ -n "$refused" ]; then
    contested=$((contested + 1))
    t_ref=$(echo "$refused" | cut -d' ' -f1)
    check "$p station ${term[$l]}'s request is refused with 409" test "$(echo "$refused" | cut -d' ' -f5)" = 409
    check "$p naming station ${term[$w]} as holder" grep -q "^{\"t\":$t_ref,\"kind\":\"http\",\"from\":\"${ip[$l]}:.*\"answer\":\"409 reserved by $(printf %02d "${term[$w]}")\"" "$LAB_RECORD"
    check "$p station ${term[$l]} logs \"Echec de la réservation.\"" \
      poll 60 log_count_at_least "$l" "Echec de la r.servation\." $((fail_before[$l] + 1))
    check "$p station ${term[$l]} links again" test -n "$(rec wait-body lumeq2.id "$work/id$l.txt" "$t_ref" 90)"
  else
    echo "# $p station ${term[$l]} saw the reservation before pressing: not a race"
    check "$p station ${term[$l]} refuses by itself" poll 60 log_count_at_least "$l" "Action refus.e pour une autre raison" 1
  fi
  check "$p station ${term[$w]} logs \"Réservation effectuée.\"" \
    poll 60 log_count_at_least "$w" "R.servation effectu.e\." $((ok_before[$w] + 1))
  check "$p station ${term[$w]} listens for the image" poll 30 listening "$w"
  check "$p the scanner reports station ${term[$w]} as holder" poll 30 sim_status_has "\"resaTerminal\":${term[$w]},"
  rec wait-frames "$(rec last-t)" 2 30 >/dev/null
  check "$p station ${term[$l]} never logs \"Réservation effectuée.\"" \
    test "$(log_count "$l" "R.servation effectu.e\.")" = "${ok_before[$l]}"
  check "$p station ${term[$l]} sets up no image listener" \
    test "$(log_count "$l" "Mise en place du client image\.")" = "${listen_before[$l]}"
  check "$p station ${term[$l]} does not listen for an image" not_listening "$l"

  # The plate goes to the winner only, who acknowledges it.
  archive_log 1; archive_log 2
  ts=$(rec last-t)
  check "$p scan of a plate" sim scan size=1
  check "$p the plate is delivered" test -n "$(rec wait-image sent "$ts" 180)"
  check "$p every delivery goes to station ${term[$w]}" \
    test -z "$(rec image-list "$ts" | awk -v ip="${ip[$w]}" '$2 != ip')"
  t_ok=$(rec wait-prm read_ok "$ts" 180)
  check "$p the plate is acknowledged read_ok" test -n "$t_ok"
  check "$p only by station ${term[$w]}" test -z "$(rec prm-list read_ok "$ts" | awk -v ip="${ip[$w]}" '$2 != ip')"
  check "$p the information file is in station ${term[$w]}'s images folder" \
    poll 60 test "$(nfo_count "$w")" -gt "${nfo_before[$w]}"
  check "$p and none in station ${term[$l]}'s" test "$(nfo_count "$l")" = "${nfo_before[$l]}"
  if poll 60 log_count_at_least "$w" "Reset du log suite . un read_ok\." 1; then archived[$w]=0; fi
  check "$p the scanner holds no image any more" poll 30 sim_status_has '"imageHeld":false'
  rec wait-frames "${t_ok:-$ts}" 3 30 >/dev/null

  # The winner lets go; the loser never sent a release.
  tr=$(rec last-t)
  press "$w"
  check "$p station ${term[$w]} releases" test -n "$(res_wait "$tr" 60 "$(from $w) && \$4==0 && \$5==200")"
  check "$p after logging \"Déjà réservé : on déreserve.\"" poll 30 log_count_at_least "$w" "D.j. r.serv. : on d.reserve\." 1
  check "$p the scanner reports nobody holding" poll 30 sim_status_has '"resaTerminal":0,'
  check "$p station ${term[$w]} closes its image listener" poll 60 not_listening "$w"
  check "$p station ${term[$l]} sent no release" test -z "$(res_match "$t0" "$(from $l) && \$4==0")"
  rec wait-frames "$(rec last-t)" 3 30 >/dev/null
  return 0
}
# Which station wins is up to the race; a few more rounds give each a chance to win once.
while [ $round -lt 6 ] && { [ $contested -lt 3 ] || { [ $round -lt 5 ] && [ $((won[1] + won[2])) -lt 2 ]; }; }; do
  round=$((round + 1))
  run_round "$round" || break
done
check "three rounds or more were real races ($contested of $round)" test "$contested" -ge 3
echo "# rounds won: station ${term[1]} $([ "${won[1]}" = 1 ] && echo yes || echo no), station ${term[2]} $([ "${won[2]}" = 1 ] && echo yes || echo no)"

# 3. The scanner asks station 5 while 3 holds: 5 waits; once 3 lets go, 5 reserves.
ta=$(rec last-t)
press 1
check "station 3 reserves" test -n "$(res_wait "$ta" 60 "$(from 1) && \$4==1 && \$5==200")"
check "the scanner reports station 3 as holder" poll 30 sim_status_has '"resaTerminal":3,'
rec wait-frames "$(rec last-t)" 2 30 >/dev/null
auto_before=$(log_count 2 "Auto r.servation sur demande SNDP\.")
tq=$(rec last-t)
check "the scanner asks station 5 for a reservation" sim state autoresa=5
check "several status frames carry the request" test -n "$(rec wait-frames "$tq" 8 60)"
check "station 5 does not reserve while 3 holds" test -z "$(res_match "$tq" "$(from 2) && \$4==1")"
check "station 5 logs no automatic reservation while 3 holds" \
  test "$(log_count 2 "Auto r.servation sur demande SNDP\.")" = "$auto_before"
tr=$(rec last-t)
press 1
check "station 3 releases" test -n "$(res_wait "$tr" 60 "$(from 1) && \$4==0 && \$5==200")"
t5=$(res_wait "$tr" 60 "$(from 2) && \$3==5 && \$4==1 && \$5==200")
check "then station 5 reserves on the scanner's request" test -n "$t5"
check "its request asks for its own 600 s" \
  grep -q "\"from\":\"${ip[2]}:[0-9]*\",\"request\":\"POST /lumeq2.res HTTP/1.0\",.*ready=1\\\\r\\\\nterm=05.*time=600" "$LAB_RECORD"
check "station 5 logged the automatic reservation" \
  poll 30 log_count_at_least 2 "Auto r.servation sur demande SNDP\." $((auto_before + 1))
check "the scanner reports station 5 as holder, the request served" \
  poll 30 sim_status_has '"resaTerminal":5,.*"autoResaTerminal":0,'
rec wait-frames "$(rec last-t)" 2 30 >/dev/null
tr=$(rec last-t)
press 2
check "station 5 releases" test -n "$(res_wait "$tr" 60 "$(from 2) && \$4==0 && \$5==200")"
check "the scanner reports nobody holding" poll 30 sim_status_has '"resaTerminal":0,'

# 4. Over the whole record: never two holders, never a reservation granted to one
#    terminal while another holds. From each station's whole log: every reservation it
#    claims is one the scanner granted.
echo "# the record's holders:"
check "no two terminals ever hold the scanner at once" rec check-holders
for n in 1 2; do
  archive_log "$n"
  granted_n=$(res_match 0 "$(from $n) && \$3==${term[$n]} && \$4==1 && \$5==200" | wc -l)
  effective_n=$(LC_ALL=C grep -ac "R.servation effective\." "$work/log$n.all")
  check "station ${term[$n]} logged as many reservations as the scanner granted it ($effective_n, $granted_n)" \
    test "$effective_n" = "$granted_n"
  # "Réservation effectuée." only after the scanner's yes to the request it closes.
  check "station ${term[$n]} never logged \"Réservation effectuée.\" for a refused reservation" \
    env LC_ALL=C awk '/R.servation niveau/ { yes = 0; no = 0 }
                      /R.servation effective\./ { yes = 1 }
                      /Echec de la r.servation/ { no = 1 }
                      /R.servation effectu.e\./ { if (!yes || no) bad++; yes = 0 }
                      END { exit bad > 0 }' "$work/log$n.all"
done

if [ "$failures" != 0 ]; then
  echo "--- reservation requests (t ip term ready status):"; rec res-list 0
  show_log 1; show_log 2
fi
echo "$failures failure(s)"
[ "$failures" = 0 ]
