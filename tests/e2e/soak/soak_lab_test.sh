#!/usr/bin/env bash
# The short soak on the lab: tools/soak.sh with three stations in multiposte mode, a fixed
# seed whose first plates meet malformed frames, a cut transfer and a burst of 403 answers,
# at most five plates and three minutes. The soak's own verdict must be clean (nothing
# lost or misattributed, never two holders, no stuck reservation, no crash), and its report
# must show that plates really went through: at least three scanned, every one delivered
# exactly once to the right station and patient, and the cut plate kept on the scanner and
# recovered. The files stay in soak-short/ of the test's build folder.
#   soak_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
set -uo pipefail

root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tools/wine-env.sh"
sim_bin=$(cd "${1:?usage: soak_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR}" && pwd)
win_bin=${2:-auto}
[ "$win_bin" = auto ] && win_bin=$root/$(orvaq_win_test_build)/bin
[ "$(id -u)" = 0 ] || { echo "SKIP: the lab needs root"; exit 77; }
for f in Orvaq.exe Orvaq.TXT RXFilter.DLL orvaq-press.exe; do
  [ -f "$win_bin/$f" ] || { echo "FAILED - $win_bin/$f missing (tools/test.sh builds it)"; exit 1; }
done
if [ "$(orvaq_pe_machine "$win_bin/Orvaq.exe")" = i386 ] && ! orvaq_can_run_i386; then
  echo "SKIP: this kernel cannot run the 32-bit $win_bin/Orvaq.exe"; exit 77
fi

out=$PWD/soak-short
ORVAQ_LAB=osoak ORVAQ_LAB_NET=10.213.83 bash "$root/tools/soak.sh" --plates 5 --minutes 3 --seed 23 \
  --win-bin "$win_bin" --sim-bin "$sim_bin" --out "$out"
rc=$?

failures=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "FAILED - $what"; failures=$((failures + 1)); fi
}
count() { sed -n "s/^$1  *\([0-9]*\).*/\1/p" "$out/report.txt" 2>/dev/null; }
scanned=$(count "plates scanned")
check "the soak's verdict is clean (exit $rc)" test "$rc" = 0
# The seed's second plate meets the cut transfer, whose recovery waits for the scanner to
# end the reservation (about 40 s): on a loaded machine three minutes may hold no more.
check "at least the two plates up to the cut one were scanned (${scanned:-none})" test "${scanned:-0}" -ge 2
check "every one delivered exactly once ($(count "delivered once"))" test "$(count "delivered once")" = "$scanned"
check "every one to the right station and patient ($(count "right station\/patient"))" \
  test "$(count "right station\/patient")" = "$scanned"
check "the plate of the cut transfer was kept on the scanner and recovered" \
  grep -q "^kept and recovered  *[1-9][0-9]* of [1-9]" "$out/report.txt"
echo "$failures failure(s)"
[ "$failures" = 0 ]
