#!/usr/bin/env bash
# Lab test of the acquisition controller: Orvaq.exe under Wine on a lab workstation, the
# scanner simulator in monoposte mode, and the simulator's exchange record as the witness.
# The station links and identifies with exactly the expected payload; reserves by itself,
# sends its language and the mode, and refreshes the reservation every 20 s; a scanned
# plate is checked and acknowledged with "read_ok" (and the log starts again); a second
# start with another patient gives the reservation up and it is made again; in
# multiposte it reserves only when the scanner asks; a corrupted plate is answered "read_nok" and stays on the scanner; a scanner that goes
# silent is dropped and picked up again. Every wait polls with a generous time-out.
#   controller_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
lab_test_open oct 214 1 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL

# The program folder: Orvaq with its texts and filter library, and an older installation's
# settings file beside it, which the first start moves to the per-user folder.
prog=$work/prog
mkdir -p "$prog" "$work/images"
cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$prog"/
cp "$winbin"/Orvaqerr.* "$prog"/ 2>/dev/null || true
images=$(echo "Z:$work/images" | tr / '\\')
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=3\r\nLUMEQ2Color=4\r\nReservationDuration=30\r\nAdapterName=eth0\r\nImagesPath=%s\r\n' \
  "$images" > "$prog/Orvaq.INI"

check "simulator in monoposte mode" sim state mode=mono
bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Smith" /patient Anne-Marie /lang 40c >/dev/null

# 1. Linking and identification, byte for byte.
mac=$(echo "$LAB_WS1_MAC" | tr a-f A-F)
printf 'ready=1\r\nterm=03\r\ncolor=05\r\nmac=%s\r\ntext_coding=ASCII\r\ndoc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd' \
  "$mac" > "$work/id.txt"
t_id=$(rec wait-body lumeq2.id "$work/id.txt" 0 180)
check "the station identifies with exactly the expected payload" test -n "$t_id"
check "the identification came from the workstation" \
  grep -q "\"from\":\"$LAB_WS1_IP:[0-9]*\",\"request\":\"POST /lumeq2.id HTTP/1.0\"" "$LAB_RECORD"
if [ -z "$t_id" ]; then
  show_log
  echo "$failures failure(s)"; exit 1
fi

# 2. Monoposte: it reserves by itself (40 s), then sends the language and the mode.
printf 'ready=1\r\nterm=03\r\ncolor=05\r\nmac=%s\r\ntext_coding=ASCII\r\ndoc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=040\r\nlevel=0\r\nmode=sd' \
  "$mac" > "$work/res.txt"
t_res=$(rec wait-body lumeq2.res "$work/res.txt" "$t_id" 90)
check "the station reserves by itself for 40 s" test -n "$t_res"
t_res=${t_res:-0}
t_lang=$(rec wait-prm "gui_language=french" "$t_res" 30)
check "then it sends its language" test -n "$t_lang"
t_mode=$(rec wait-prm "reservation_mode=mono" "${t_lang:-$t_res}" 30)
check "then it sends the reservation mode" test -n "$t_mode"
check "the simulator reports terminal 3 as holder" sim_status_has '"resaTerminal":3'

# 3. The refresh every 20 s ("reload=040"), measured on the simulator's clock.
reloads=$(rec times-prm "reload=040" "$t_res" 2 120)
check "two reservation refreshes arrive" test -n "$reloads"
if [ -n "$reloads" ]; then
  read -r r1 r2 <<<"$reloads"
  check "the first refresh comes about 20 s after the reservation ($((r1 - t_res)) ms)" \
    test $((r1 - t_res)) -ge 15000 -a $((r1 - t_res)) -le 40000
  check "the next one about 20 s later ($((r2 - r1)) ms)" test $((r2 - r1)) -ge 15000 -a $((r2 - r1)) -le 40000
fi

# 4. A scanned plate is received, checked and acknowledged; the log starts again.
t0=$(rec last-t)
check "scan of a good plate" sim scan size=1 "save=$work/good.bin"
t_ok=$(rec wait-prm "read_ok" "$t0" 180)
check "the plate is acknowledged with read_ok" test -n "$t_ok"
check "after image_info was asked" test "$(rec count-prm image_info "$t0")" -ge 1
size=$(stat -c %s "$work/good.bin")
check "the whole plate was delivered ($size bytes)" \
  grep -q "\"kind\":\"image\",\"to\":\"$LAB_WS1_IP:3333\",\"bytes\":$size,\"outcome\":\"sent\"" "$LAB_RECORD"
check "the acquisition's information file is in the images folder" \
  test -n "$(find "$work/images" -iname '*.NFO' | head -n1)"
check "the log started again after read_ok" wait_log "Reset du log suite . un read_ok." 30
f=$(orvaq_log)
check "the restarted log opens with its header" \
  bash -c "head -n 2 '$f' | grep -aq 'Logg started on'"
check "the scanner holds no image after read_ok" sim_status_has '"waitingImageTerminal":0'

# 5. A second start of Orvaq with another patient hands its line over: the reservation
#    made under the previous patient is given up, and monoposte reserves again under the
#    new one.
t3=$(rec last-t)
timeout 120 bash "$lab" run 1 "$prog/Orvaq.exe" /patient Other >/dev/null 2>&1
check "the second start handed its line over" wait_log "Ligne de commande re.ue : /patient Other" 60
printf 'ready=0\r\nterm=03\r\ncolor=05\r\nmac=%s\r\ntext_coding=\r\ndoc_name=\r\npat_name=\r\ntime=040\r\nlevel=0\r\nmode=' \
  "$mac" > "$work/cancel.txt"
t_cancel=$(rec wait-body lumeq2.res "$work/cancel.txt" "$t3" 60)
check "the reservation under the previous patient is given up" test -n "$t_cancel"
sed 's/pat_name=Anne\\x2dMarie/pat_name=Other/' "$work/res.txt" > "$work/res2.txt"
check "monoposte reserves again under the new patient" \
  test -n "$(rec wait-body lumeq2.res "$work/res2.txt" "${t_cancel:-$t3}" 60)"
sed 's/pat_name=Anne\\x2dMarie/pat_name=Other/' "$work/id.txt" > "$work/id2.txt"

# 6. Multiposte: the station never reserves by itself; when the reservation it held runs
#    out it lets go, and it reserves (for its own 30 s) when the scanner asks for it.
check "simulator in multiposte mode" sim state mode=multi
check "the station lets go when the reservation runs out" wait_log "Nettoyage car : m_TerminalResaNum 0/3" 120
t4=$(rec last-t)
# Nothing may be reserved over a few status control periods (2.5 s): each logs its tick,
# and a reservation it would start is sent before the next tick runs.
control_ticks() { local f; f=$(orvaq_log); if [ -n "$f" ]; then LC_ALL=C grep -ac "Timer de contr.le SNDP" "$f"; else echo 0; fi; }
ticks_after=$(($(control_ticks) + 4))
end=$((SECONDS + 60))
while [ "$(control_ticks)" -lt $ticks_after ] && [ $SECONDS -le $end ]; do sleep 0.5; done
check "four status control periods ran" test "$(control_ticks)" -ge $ticks_after
check "multiposte never reserves by itself" \
  test -z "$(python3 -c 'import json,sys
for l in open(sys.argv[1]):
    try: e = json.loads(l)
    except ValueError: continue
    if e.get("kind") == "http" and "lumeq2.res" in e.get("request", "") and e.get("t", 0) >= int(sys.argv[2]) \
       and e.get("body", "").startswith("ready=1"): print(e["t"])' "$LAB_RECORD" "$t4")"
sed 's/time=040/time=030/' "$work/res2.txt" > "$work/res3.txt"
t5=$(rec last-t)
check "the scanner asks station 3 for a reservation" sim state autoresa=3
check "the station reserves on the scanner's request, for 30 s" \
  test -n "$(rec wait-body lumeq2.res "$work/res3.txt" "$t5" 60)"
check "the request is withdrawn" sim state autoresa=0

# 7. A corrupted plate is answered read_nok and stays on the scanner.
check "line corruption armed" sim fault corrupt_line=3
t1=$(rec last-t)
check "scan of a plate that will arrive corrupted" sim scan size=1
t_nok=$(rec wait-prm "read_nok" "$t1" 180)
check "the corrupted plate is answered read_nok" test -n "$t_nok"
check "and never acknowledged read_ok" test "$(rec count-prm read_ok "$t1")" = 0
check "the image stays on the scanner for this station" sim_status_has '"waitingImageTerminal":3'
check "the check logged the faulty line" log_has "Num.ro de ligne innatendu"

# 8. A scanner that vanishes is dropped locally and picked up again when it returns.
check "the scanner goes silent" sim fault vanish=1
check "the station drops the silent scanner" wait_log "Pas de LUMEQ d.tect." 90
t2=$(rec last-t)
check "the scanner is back" sim fault vanish=0
t_back=$(rec wait-body lumeq2.id "$work/id2.txt" "$t2" 240)
check "the station identifies again" test -n "$t_back"

[ "$failures" = 0 ] || show_log
echo "$failures failure(s)"
[ "$failures" = 0 ]
