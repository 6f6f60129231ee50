# The opening every lab test shares; sourced by a test script after `set -uo pipefail`.
#   lab_test_open TAG NET WORKSTATIONS SIM_BIN_DIR [WIN_BIN_DIR FILE...]
# WIN_BIN_DIR "auto" (or empty) is the bin folder of the build orvaq_win_test_build
# names (tools/wine-env.sh). Skips (exit 77) only for a missing capability: no root, or
# an i386 Orvaq.exe on a kernel that cannot run 32-bit code; a FILE missing from
# WIN_BIN_DIR fails (exit 1). Names the lab
# ORVAQ_LAB=TAG<pid> on 10.NET.(100 + pid % 100); makes $work; brings the lab up with
# WORKSTATIONS workstations and loads its names and addresses. On exit the lab comes down
# (with everything it started, Orvaq under Wine included) and $work goes.
# Sets: root lab bin winbin work failures; gives poll, check, sim, sim_status_has, rec,
# orvaq_log, log_has, wait_log, show_log.

lab_test_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$lab_test_root/tools/wine-env.sh"

lab_test_open() {
  local tag=$1 net=$2 workstations=$3 usage
  usage="usage: $(basename "$0") SIM_BIN_DIR${5:+ WIN_BIN_DIR}"
  root=$lab_test_root
  lab="$root/tools/lab/lab.sh"
  bin=$(cd "${4:?$usage}" && pwd)
  winbin=""
  if [ $# -ge 5 ]; then
    local want=$5
    if [ -z "$want" ] || [ "$want" = auto ]; then want=$root/$(orvaq_win_test_build)/bin; fi
    winbin=$(cd "$want" 2>/dev/null && pwd) || winbin=$want
    echo "Windows programs from $winbin"
  fi
  [ "$(id -u)" = 0 ] || { echo "SKIP: the lab needs root"; exit 77; }
  local f
  for f in "${@:6}"; do
    [ -f "$winbin/$f" ] || { echo "FAILED - $winbin/$f missing (tools/test.sh builds it)"; exit 1; }
  done
  if [ "$(orvaq_pe_machine "$winbin/Orvaq.exe")" = i386 ] && ! orvaq_can_run_i386; then
    echo "SKIP: this kernel cannot run the 32-bit $winbin/Orvaq.exe"; exit 77
  fi
  export ORVAQ_LAB=$tag$$ ORVAQ_LAB_NET=10.$net.$((100 + $$ % 100)) ORVAQ_LAB_BIN=$bin
  work=$(mktemp -d "/tmp/orvaq-$tag-XXXXXX")
  failures=0
  trap lab_test_finish EXIT
  trap 'exit 130' INT TERM
  bash "$lab" up "$workstations" >/dev/null || { echo "FAILED - lab up"; exit 1; }
  eval "$(bash "$lab" env)"
}

lab_test_finish() {
  bash "$lab" down >/dev/null 2>&1 || true
  rm -rf "$work" "/tmp/orvaq-lab-$ORVAQ_LAB"
}

poll() {  # poll TIMEOUT_S command...: until the command succeeds or the time runs out
  local end=$((SECONDS + $1)); shift
  while :; do
    "$@" && return 0
    [ $SECONDS -ge $end ] && return 1
    sleep 0.3
  done
}

check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "FAILED - $what"; failures=$((failures + 1)); fi
}

sim() { bash "$lab" sim "$@" >/dev/null; }
sim_status_has() { bash "$lab" sim status | grep -q -- "$1"; }
# Questions to the simulator's exchange record (tests/e2e/controller/record.py).
rec() { python3 "$root/tests/e2e/controller/record.py" "$LAB_RECORD" "$@"; }

orvaq_log() {  # orvaq_log [N]: the current Orvaq log file of workstation N (Latin-1 text)
  find "$LAB_STATE/ws${1:-1}/prefix/drive_c/users" -path '*Logs KVW*' -name 'Orvaq.txt' 2>/dev/null | head -n1
}
log_has() {  # log_has PATTERN [N]
  local f; f=$(orvaq_log "${2:-1}"); [ -n "$f" ] && LC_ALL=C grep -aq -- "$1" "$f"
}
wait_log() {  # wait_log PATTERN TIMEOUT_S [N]
  local end=$((SECONDS + $2))
  while [ $SECONDS -le $end ]; do log_has "$1" "${3:-1}" && return 0; sleep 0.5; done
  return 1
}
show_log() {  # show_log [N]: the ends of workstation N's Orvaq log and run log, printable
  local f; f=$(orvaq_log "${1:-1}")
  echo "--- Orvaq log of workstation ${1:-1} (end):"
  [ -n "$f" ] && tail -n 60 "$f" | LC_ALL=C tr -cd '\11\12\15\40-\176'
  echo "--- run log of workstation ${1:-1}:"; tail -n 20 "$LAB_STATE/ws${1:-1}/run.log" 2>/dev/null
}
