#!/usr/bin/env bash
# The test command: installs what is missing, builds every target, checks the core
# boundary and the shipped PE files, runs the host tests, then the Wine tests (and the
# lab scenarios where present), and ends with one summary line.
#   tools/test.sh              everything
#   ORVAQ_SKIP_SETUP=1 ...     skip the package check (already done)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. tools/wine-env.sh

jobs=${ORVAQ_JOBS:-2}
passed=0
failed=0
step_failed=0
note() { printf '\n=== %s\n' "$*"; }
# Adds ctest's "N% tests passed, F tests failed out of T" to the totals.
count_ctest() {
  local log=$1 line t f
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$log"; then return 0; fi
    failed=$((failed + 1)); return 0
  fi
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  t=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
  passed=$((passed + t - f))
  failed=$((failed + f))
}
# A build or check step counts as one failed test when it fails.
step() {
  local name=$1; shift
  note "$name"
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failed=$((failed + 1)); step_failed=1; fi
}

if [ -z "${ORVAQ_SKIP_SETUP:-}" ]; then
  note "setup"
  bash tools/setup.sh || { echo "setup failed"; echo "Tests: 0 passed, 1 failed"; exit 1; }
fi

win_test_preset=win64
if orvaq_can_run_i386; then win_test_preset=win32; fi

step "configure+build host" bash -c "cmake --preset host >/dev/null && cmake --build --preset host -j $jobs"
step "configure+build win32 (shipped i686 programs)" bash -c \
  "cmake --preset win32 $([ $win_test_preset = win32 ] && echo -DBUILD_TESTING=ON) >/dev/null && cmake --build --preset win32 -j $jobs"
if [ $win_test_preset = win64 ]; then
  step "configure+build win64 (Wine test flavour)" bash -c "cmake --preset win64 >/dev/null && cmake --build --preset win64 -j $jobs"
fi
step "core boundary" bash tools/check-core.sh
step "shipped programs are PE32 i386 GUI, static" bash tools/check-pe.sh build/win32 i386

note "host tests"
ctest --test-dir build/host -j "$jobs" -LE 'e2e' --output-on-failure 2>&1 | tee build/host-tests.log | tail -15
count_ctest build/host-tests.log

note "Wine tests ($win_test_preset)"
if [ $win_test_preset = win64 ]; then
  echo "This kernel cannot run 32-bit code: the Wine tests run the x86_64 build of the same sources."
fi
tools/with-wine.sh "build/$win_test_preset" ctest --test-dir "build/$win_test_preset" -j "$jobs" --output-on-failure \
  2>&1 | tee "build/wine-tests.log" | tail -15
count_ctest build/wine-tests.log

note "lab scenarios (simulator + Orvaq under Wine in network namespaces)"
ctest --test-dir build/host -L e2e --output-on-failure 2>&1 | tee build/e2e-tests.log | tail -15
count_ctest build/e2e-tests.log

echo
echo "Tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
