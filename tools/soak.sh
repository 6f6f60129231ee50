#!/usr/bin/env bash
# Soak of the acquisition chain on the lab: three workstations running Orvaq.exe under Wine
# in multiposte mode share one scanner simulator, which meets faults drawn from a seeded
# generator. The script plays each station's practice application: in turn, a station gets
# a NEW patient (a second start hands the command line over to the running Orvaq, or now
# and then Orvaq is closed and started again for that patient), presses the reservation
# button, the simulator scans a plate with a seed of its own (its bytes are kept), the
# script waits for the station's BMP/RAW/NFO, answers Orvaq's questions as an operator
# would (OK), and presses the button again to let the scanner go. Then the next station.
#
#   tools/soak.sh [--plates N] [--minutes M] [--seed S] [--win-bin DIR] [--sim-bin DIR] [--out DIR]
#
# Stops after N plates (default 150) or once M minutes (default 60) have passed since the
# start, whichever comes first: no plate starts that would not end in time, judged by the
# longest turn so far.
# Same seed, same plan: the same fault before the same plate, the same plate bytes, the
# same restarts. The Windows programs come from --win-bin (or ORVAQ_SOAK_WIN_BIN; default
# the build tools/wine-env.sh names for Wine tests), the simulator from --sim-bin (or
# ORVAQ_LAB_BIN; default build/host/bin). The lab is ORVAQ_LAB (default osoak) on
# ORVAQ_LAB_NET (default 10.213.83); it comes down at the end, whatever happens.
# Everything lands in --out (default build/soak): plates/ (the bytes of every plate sent),
# wsN/images, wsN/prog (Orvaq's folder, with "Plaques en attente"), wsN/orvaq.log (the
# station's whole log, archived as it grows; the log starts again after each read_ok),
# wsN/run-*.log (Wine's output), record.jsonl (the exchange record), report.txt.
#
# What the report counts (tools/soak_report.py):
#   scanned       a plate the simulator accepted to scan (its bytes saved).
#   delivered     a plate whose exact bytes are the .RAW named by some .NFO in any
#                 station's images folder at the end.
#   once          delivered, and by exactly one .NFO.
#   right         delivered, every copy in the images folder of the station whose turn it
#                 was, and the .NFO's [PATIENT] Name and ID those the station was given.
#   kept/recovered  a plate with at least one image transfer that failed (any outcome
#                 other than "sent" in the record: stalled, cut, reset, refused) or that
#                 the station refused ("read_nok") is kept; kept and delivered is recovered.
#                 Record entries go to the plate scanned last before them.
#   lost          scanned and never delivered by the end of the run, whatever became of it
#                 on the scanner (acknowledged, dropped, or still held).
#   misattributed delivered to another station's folder or under another patient.
#   two holders   a moment where the record shows a reservation granted to one terminal
#                 while another held the scanner, or a frame naming another holder.
#   stuck         after a station's turn ended and it let go (or tried to), the scanner
#                 still shows a holder once the reservation time plus 30 s has passed.
#   crashes       an Orvaq process that ended when the soak had not asked it to, a
#                 "wine: Unhandled" (or "Unhandled exception") line in Wine's output, or a
#                 Wine debugger started in a workstation.
# The exit status is 1 when lost, misattributed, two holders, stuck or crashes is not 0,
# 2 for a usage error, 3 when the lab could not be brought up.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/wine-env.sh"

plates=150 minutes=60 seed="" winbin=${ORVAQ_SOAK_WIN_BIN:-} simbin=${ORVAQ_LAB_BIN:-} out=$root/build/soak
usage() { sed -n '11p' "$0" | sed 's/^# *//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --plates) plates=${2:?}; shift 2 ;;
    --minutes) minutes=${2:?}; shift 2 ;;
    --seed) seed=${2:?}; shift 2 ;;
    --win-bin) winbin=${2:?}; shift 2 ;;
    --sim-bin) simbin=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    *) usage ;;
  esac
done
[[ $plates =~ ^[0-9]+$ && $minutes =~ ^[0-9]+$ ]] || usage
[ -n "$seed" ] || seed=$(( $(date +%s) % 1000000 ))
[[ $seed =~ ^[0-9]+$ ]] || usage
[ -n "$winbin" ] || winbin=$root/$(orvaq_win_test_build)/bin
[ -n "$simbin" ] || simbin=$root/build/host/bin
winbin=$(cd "$winbin" && pwd) || exit 2
simbin=$(cd "$simbin" && pwd) || exit 2
for f in Orvaq.exe Orvaq.TXT RXFilter.DLL orvaq-press.exe; do
  [ -f "$winbin/$f" ] || { echo "soak: $winbin/$f missing" >&2; exit 2; }
done
[ "$(id -u)" = 0 ] || { echo "soak: the lab needs root" >&2; exit 2; }

export ORVAQ_LAB=${ORVAQ_LAB:-osoak} ORVAQ_LAB_NET=${ORVAQ_LAB_NET:-10.213.83} ORVAQ_LAB_BIN=$simbin
lab="$root/tools/lab/lab.sh"
report_py=$root/tools/soak_report.py
stations=3
duration=30  # the reservation time each station asks for, seconds
started=$SECONDS
deadline=$((SECONDS + minutes * 60))

rm -rf "$out"
mkdir -p "$out/plates"
: > "$out/plates.jsonl"
: > "$out/events.jsonl"
say() { echo "[soak $(date +%H:%M:%S)] $*"; }
event() {  # event NAME KEY=VALUE...: one line of events.jsonl (values as JSON strings)
  local line="{\"event\":\"$1\",\"t\":$(date +%s)" kv
  shift
  for kv in "$@"; do line+=",\"${kv%%=*}\":$(printf '%s' "${kv#*=}" | python3 -c 'import json,sys; print(json.dumps(sys.stdin.read()))')"; done
  echo "$line}" >> "$out/events.jsonl"
}

labc() { bash "$lab" "$@"; }
sim() { labc sim "$@"; }
status_num() { sim status | sed -n "s/.*\"$1\":\([0-9-]*\).*/\1/p"; }
status_bool() { sim status | grep -q "\"$1\":$2"; }
rec() { python3 "$root/tests/e2e/controller/record.py" "$LAB_RECORD" "$@"; }
poll() {  # poll TIMEOUT_S command...
  local end=$((SECONDS + $1)); shift
  while :; do
    "$@" && return 0
    [ $SECONDS -ge $end ] && return 1
    sleep 0.5
  done
}
gone() { ! alive "$1"; }
alive() { local st; st=$(ps -o stat= -p "$1" 2>/dev/null); [ -n "$st" ] && [ "${st#Z}" = "$st" ]; }

lab_up=0
finish() {
  local rc=$?
  if [ "$lab_up" = 1 ]; then
    for n in $(seq 1 $stations); do archive_log "$n"; save_run_log "$n"; done
    cp "$LAB_RECORD" "$out/record.jsonl" 2>/dev/null || true
    labc down >/dev/null 2>&1 || true
  fi
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT TERM

labc down >/dev/null 2>&1 || true
labc up $stations >/dev/null || { echo "soak: lab up failed" >&2; exit 3; }
lab_up=1
eval "$(labc env)"
say "lab $ORVAQ_LAB up; seed $seed; up to $plates plate(s) in $minutes min; Windows programs from $winbin"
echo "$seed" > "$out/seed"

# Workstation N is station term[N]; the patient of plate P is "Soak P<P>".
term=([1]=2 [2]=4 [3]=6)
color=([1]=1 [2]=3 [3]=5)
declare -A ip main_pid asked run_no log_path log_first log_done
for n in $(seq 1 $stations); do
  eval "ip[$n]=\$LAB_WS${n}_IP"
  mkdir -p "$out/ws$n/prog" "$out/ws$n/images"
  cp "$winbin"/Orvaq.exe "$winbin"/Orvaq.TXT "$winbin"/RXFilter.DLL "$out/ws$n/prog/"
  cp "$winbin"/Orvaqerr.* "$out/ws$n/prog/" 2>/dev/null || true
  printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=%d\r\nLUMEQ2Color=%d\r\nReservationDuration=%d\r\nAdapterName=eth0\r\nImagesPath=%s\r\n' \
    "${term[$n]}" "${color[$n]}" "$duration" "$(echo "Z:$out/ws$n/images" | tr / '\\')" > "$out/ws$n/prog/Orvaq.INI"
  run_no[$n]=0 log_path[$n]="" log_first[$n]="" log_done[$n]=0 asked[$n]=0 main_pid[$n]=""
done
patient_of() { printf 'Soak P%04d' "$1"; }
patient_id_of() { printf 'S%dP%04d' "$seed" "$1"; }

# The station's log: appended to wsN/orvaq.log as it grows. Orvaq starts the file again
# after each read_ok and at each start; below its fixed banner, a new first timed line
# tells, and reading starts over. Until that line is written the file is left for later.
archive_log() {
  local n=$1 f first size
  f=${log_path[$n]}
  if [ -z "$f" ] || [ ! -f "$f" ]; then
    f=$(find "$LAB_STATE/ws$n/prefix/drive_c/users" -path '*Logs KVW*' -name 'Orvaq.txt' 2>/dev/null | head -n1)
    log_path[$n]=$f
    [ -n "$f" ] || return 0
  fi
  [ "$(head -n 4 "$f" 2>/dev/null | wc -l)" -ge 4 ] || return 0
  first=$(head -n 4 "$f" | LC_ALL=C grep -a -m1 '^[0-9][0-9]:[0-9][0-9]:[0-9][0-9] - ')
  [ -n "$first" ] || return 0
  size=$(stat -c %s "$f" 2>/dev/null || echo 0)
  if [ "$first" != "${log_first[$n]}" ] || [ "$size" -lt "${log_done[$n]}" ]; then
    log_first[$n]=$first log_done[$n]=0
  fi
  [ "$size" -gt "${log_done[$n]}" ] || return 0
  tail -c +$((log_done[$n] + 1)) "$f" | head -c $((size - log_done[$n])) >> "$out/ws$n/orvaq.log"
  log_done[$n]=$size
}
log_has() { archive_log "$1"; LC_ALL=C grep -aq -- "$2" "$out/ws$1/orvaq.log" 2>/dev/null; }
save_run_log() { [ -f "$LAB_STATE/ws$1/run.log" ] && cp "$LAB_STATE/ws$1/run.log" "$out/ws$1/run-${run_no[$1]}.log"; }

# Orvaq's main instance on workstation N, for plate P's patient.
start_station() {
  local n=$1 p=$2 line
  save_run_log "$n"
  run_no[$n]=$((run_no[$n] + 1))
  line=$(labc run "$n" --bg "$out/ws$n/prog/Orvaq.exe" /doctor "Dr Soak" /patient "$(patient_of "$p")" \
    /idpatient "$(patient_id_of "$p")" /lang 40c)
  main_pid[$n]=$(echo "$line" | sed -n 's/.*pid \([0-9]*\).*/\1/p')
  asked[$n]=0
  event start "ws=$n" "pid=${main_pid[$n]}" "patient=$(patient_of "$p")"
}
# The station has linked with plate P's patient: its identification carries the name.
identified_as() { grep -F "\"from\":\"${ip[$1]}:" "$LAB_RECORD" | grep -F 'POST /lumeq2.id' | grep -qF "pat_name=$(patient_of "$2")\\r"; }
# A second start hands the new patient over to the running Orvaq, which logs it.
handover() {
  local n=$1 p=$2
  timeout 120 bash "$lab" run "$n" "$out/ws$n/prog/Orvaq.exe" /doctor "Dr Soak" /patient "$(patient_of "$p")" \
    /idpatient "$(patient_id_of "$p")" /lang 40c >> "$out/ws$n/handover.log" 2>&1
  poll 60 log_has "$n" "Ligne de commande re.ue : .*/patient \"\{0,1\}$(patient_of "$p")"
}
# Closing on purpose: "/close" asks the running instance to close.
close_station() {
  local n=$1
  asked[$n]=1
  timeout 120 bash "$lab" run "$n" "$out/ws$n/prog/Orvaq.exe" /close >> "$out/ws$n/handover.log" 2>&1
  if ! poll 60 gone "${main_pid[$n]}"; then
    event close_failed "ws=$n" "pid=${main_pid[$n]}"
    kill "${main_pid[$n]}" 2>/dev/null
    return 1
  fi
}

unhandled="wine: Unhandled|Unhandled exception|Unhandled page fault"
declare -A handover_crashes
# A crash: the main instance gone unasked, "Unhandled" in Wine's output, a debugger.
crash_check() {
  local n=$1 p=$2 why="" pid
  if [ -n "${main_pid[$n]}" ] && ! alive "${main_pid[$n]}" && [ "${asked[$n]}" = 0 ]; then why="Orvaq ended unasked"; fi
  if LC_ALL=C grep -aqE "$unhandled" "$LAB_STATE/ws$n/run.log" 2>/dev/null; then
    why="${why:+$why; }Wine reports an unhandled exception"
  fi
  # The second starts that hand a patient over end by themselves; they must not crash either.
  local seen
  seen=$(LC_ALL=C grep -acE "$unhandled" "$out/ws$n/handover.log" 2>/dev/null)
  if [ "${seen:-0}" -gt "${handover_crashes[$n]:-0}" ]; then
    handover_crashes[$n]=$seen
    why="${why:+$why; }a second start crashed (handover.log)"
  fi
  for pid in $(ip netns pids "$LAB-ws$n" 2>/dev/null); do
    tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -qi winedbg && why="${why:+$why; }Wine debugger running"
  done
  [ -n "$why" ] || return 0
  archive_log "$n"
  event crash "ws=$n" "plate=$p" "pid=${main_pid[$n]}" "why=$why" \
    "run_log=$(tail -n 30 "$LAB_STATE/ws$n/run.log" 2>/dev/null | LC_ALL=C tr -cd '\11\12\40-\176')" \
    "orvaq_log=$(tail -n 30 "$out/ws$n/orvaq.log" 2>/dev/null | LC_ALL=C tr -cd '\11\12\40-\176')"
  say "CRASH on ws$n ($why) at plate $p"
  asked[$n]=1
  kill "${main_pid[$n]}" 2>/dev/null
  : > "$LAB_STATE/ws$n/run.log"
  start_station "$n" "$p"
  poll 240 identified_as "$n" "$p" || event no_link "ws=$n" "plate=$p"
}

press() { timeout 150 bash "$lab" run "$1" "$winbin/orvaq-press.exe" --timeout 60 "${@:2}" > "$out/press.out" 2>&1; }
# An operator answers whatever box Orvaq shows on workstation N with OK, and says what it read.
answer_box() {
  local n=$1 text
  timeout 60 bash "$lab" run "$n" "$winbin/orvaq-press.exe" --answer-box --timeout 1 > "$out/box.out" 2>/dev/null || return 1
  text=$(tr -d '\r' < "$out/box.out" | sed -n 's/^orvaq-press: answered OK to: //p')
  event box "ws=$n" "plate=${current_plate:-0}" "text=$text"
  say "ws$n: answered OK to: $text"
}
holder() { status_num resaTerminal; }
holder_is() { [ "$(holder)" = "$1" ]; }
# Nobody holds the scanner: no station, and no super-user read left behind.
idle() { local s; s=$(sim status); [[ $s == *'"resaTerminal":0,'* && $s == *'"superHeld":false'* ]]; }
holder_not() { [ "$(holder)" != "$1" ]; }
released_since() { [ -n "$(res_from "$1" "$2" | awk '$4 == 0 && $5 == 200')" ]; }
# Reservation requests from workstation N since T: "t ip term ready status".
res_from() { rec res-list "$2" | awk -v ip="${ip[$1]}" '$2 == ip'; }

reserve() {  # reserve N: until the scanner names station N as holder
  local n=$1 attempt t0 end line
  for attempt in 1 2 3 4 5 6 7 8; do
    [ "$(holder)" = "${term[$n]}" ] && return 0
    t0=$(rec last-t)
    press "$n"
    end=$((SECONDS + 40))
    while [ $SECONDS -lt $end ]; do
      line=$(res_from "$n" "$t0" | awk '$4 == 1' | tail -n1)
      if [ -n "$line" ]; then
        [ "$(echo "$line" | cut -d' ' -f5)" = 200 ] && poll 20 holder_is "${term[$n]}" && return 0
        break
      fi
      [ "$(holder)" = "${term[$n]}" ] && return 0
      sleep 1
    done
    answer_box "$n"
    sleep 3
  done
  return 1
}
release() {  # release N: until the scanner names station N no more
  local n=$1 attempt t0
  for attempt in 1 2 3 4; do
    [ "$(holder)" = "${term[$n]}" ] || return 0
    t0=$(rec last-t)
    press "$n"
    poll 30 released_since "$n" "$t0"
    poll 10 holder_not "${term[$n]}" && return 0
    answer_box "$n"
  done
  [ "$(holder)" != "${term[$n]}" ]
}

# A plate's outputs: an .NFO in the station's folder whose RAW holds exactly the plate's bytes.
delivered_file() {  # delivered_file N SHA -> the .NFO
  local n=$1 want=$2 f raw
  for f in "$out/ws$n/images"/*.NFO; do
    [ -e "$f" ] || continue
    grep -qxF "$f" "$out/ws$n/seen" 2>/dev/null && continue
    raw=$(python3 "$report_py" nfo "$f" | cut -f3)
    [ -f "$raw" ] || continue
    if [ "$(sha256sum < "$raw" | cut -d' ' -f1)" = "$want" ]; then echo "$f"; return 0; fi
  done
  return 1
}

arm() { local a; for a in ${1//,/ }; do sim fault "$a" >/dev/null; done; }

python3 "$report_py" plan "$seed" "$plates" > "$out/plan.txt"
sim state mode=multi >/dev/null
# Every station starts with its first patient, at the same time (Wine prefixes take a while).
for n in $(seq 1 $stations); do start_station "$n" "$n" & done
wait
for n in $(seq 1 $stations); do
  main_pid[$n]=$(awk '$1 == "run-ws'"$n"'" {print $2}' "$LAB_STATE/pids" | tail -n1)
done
for n in $(seq 1 $stations); do
  poll 300 identified_as "$n" "$n" || { say "ws$n never linked"; event no_link "ws=$n" "plate=0"; }
done
say "stations linked after $((SECONDS - started)) s"

stopped="all $plates plate(s)"
done_plates=0 longest=0
while read -r -u 3 p phase fault pause restart size pseed; do
  # No plate starts that could not end in time, judged by the longest turn so far.
  if [ $((SECONDS + longest)) -ge $deadline ]; then stopped="time limit after $done_plates plate(s)"; break; fi
  turn_start=$SECONDS
  current_plate=$p
  n=$(( (p - 1) % stations + 1 ))
  patient=$(patient_of "$p") pid_=$(patient_id_of "$p")
  say "plate $p: ws$n (station ${term[$n]}) $patient, fault $fault$([ "$pause" -gt 0 ] && echo " ($pause s)"), size $size, seed $pseed$([ "$restart" = 1 ] && echo ', restart')"
  crash_check "$n" "$p"
  # The practice application: a new patient for this plate.
  [ "$p" -gt $stations ] || restart=0
  if [ "$p" -gt $stations ]; then
    if [ "$restart" = 1 ]; then
      close_station "$n"
      start_station "$n" "$p"
      poll 300 identified_as "$n" "$p" || event no_link "ws=$n" "plate=$p"
    else
      handover "$n" "$p" || event no_handover "ws=$n" "plate=$p"
    fi
  fi
  # Faults before the press; a period fault lasts its time and then the scanner is back.
  if [ "$phase" = pre ]; then
    arm "$fault"
    if [ "$pause" -gt 0 ]; then sleep "$pause"; sim fault vanish=0 >/dev/null; sim fault silent=0 >/dev/null; fi
  fi
  t_turn=$(rec last-t)
  reserved=1
  reserve "$n" || { reserved=0; event no_reservation "ws=$n" "plate=$p" "holder=$(holder)"; say "ws$n could not reserve"; }
  [ "$phase" = pre ] && [ "$pause" = 0 ] && sim fault clear >/dev/null
  scanned=false sha="" t_scan=null nfo="" got=false
  if [ "$reserved" = 1 ]; then
    [ "$phase" = img ] && arm "$fault"
    t_scan=$(rec last-t)
    end=$((SECONDS + 60))
    while [ $SECONDS -lt $end ]; do
      if sim scan "size=$size" "seed=$pseed" "save=$out/plates/p$p.bin" | grep -q '"ok":true'; then scanned=true; break; fi
      sleep 2
    done
    if [ "$scanned" = true ]; then
      sha=$(sha256sum < "$out/plates/p$p.bin" | cut -d' ' -f1)
      # The outputs; a question from Orvaq (a plate waiting, a transfer gone wrong) is
      # answered OK after a while, as an operator at the station would.
      end=$((SECONDS + 360)) last_box=$SECONDS
      while [ $SECONDS -lt $end ]; do
        nfo=$(delivered_file "$n" "$sha") && { got=true; echo "$nfo" >> "$out/ws$n/seen"; break; }
        archive_log "$n"
        if [ $((SECONDS - last_box)) -ge 12 ]; then answer_box "$n"; last_box=$SECONDS; fi
        crash_check "$n" "$p"
        sleep 1
      done
      if [ "$got" = true ]; then
        # Acknowledged, and the scanner holds nothing any more.
        rec wait-prm read_ok "$t_scan" 60 >/dev/null || event no_read_ok "ws=$n" "plate=$p"
        poll 60 status_bool imageHeld false || event image_still_held "ws=$n" "plate=$p"
      else
        event not_delivered_in_turn "ws=$n" "plate=$p" "status=$(sim status)"
        say "plate $p not delivered in its turn"
      fi
    fi
  fi
  sim fault clear >/dev/null
  echo "{\"plate\":$p,\"ws\":$n,\"term\":${term[$n]},\"patient\":\"$patient\",\"patient_id\":\"$pid_\",\"seed\":$pseed,\"size\":$size,\"fault\":\"$fault\",\"restart\":$restart,\"scanned\":$scanned,\"sha256\":\"$sha\",\"t_scan\":$t_scan,\"in_turn\":$got}" >> "$out/plates.jsonl"
  # The station lets go; no reservation may outlive its turn by more than its own time.
  release "$n" || say "ws$n still holds after its release presses"
  if ! poll $((duration + 30)) idle; then
    event stuck "ws=$n" "plate=$p" "status=$(sim status)"
    say "STUCK: the scanner still has a holder after plate $p"
  fi
  archive_log "$n"
  done_plates=$p
  [ $((SECONDS - turn_start)) -gt "$longest" ] && longest=$((SECONDS - turn_start))
done 3< "$out/plan.txt"

# A last look: every station still running, none crashed.
for n in $(seq 1 $stations); do crash_check "$n" "$done_plates"; done
for n in $(seq 1 $stations); do archive_log "$n"; done
cp "$LAB_RECORD" "$out/record.jsonl"
printf '{"seed":%d,"plates":%d,"minutes":%d,"seconds":%d,"stopped":"%s"}\n' \
  "$seed" "$plates" "$minutes" $((SECONDS - started)) "$stopped" > "$out/run.json"
python3 "$report_py" report "$out" "$out/record.jsonl" $stations > "$out/report.txt"
rc=$?
cat "$out/report.txt"
echo "report: $out/report.txt"
exit $rc
