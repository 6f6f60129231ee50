#!/usr/bin/env bash
# The test command: installs what is missing, builds every target, checks the core
# boundary and the shipped PE files, runs the host tests, then the Wine tests (and the
# lab scenarios where present), and ends with one summary line
# "Tests: N passed, M failed, K skipped".
#   tools/test.sh              everything
#   ORVAQ_SKIP_SETUP=1 ...     skip the package check (already done)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. tools/wine-env.sh

jobs=${ORVAQ_JOBS:-2}
passed=0
failed=0
skipped=0
step_failed=0
note() { printf '\n=== %s\n' "$*"; }
# Adds ctest's "N% tests passed, F tests failed out of T" to the totals. ctest counts a
# skipped test (listed "(Skipped)" under "The following tests did not run:") as passed;
# here it counts as skipped.
count_ctest() {
  local log=$1 line t f s
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$log"; then return 0; fi
    failed=$((failed + 1)); return 0
  fi
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  t=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
  s=$(awk '/^The following tests did not run:/ { list = 1; next }
           list && /^[[:space:]]*$/ { list = 0 }
           list && /\(Skipped\)[[:space:]]*$/ { n++ }
           END { print n + 0 }' "$log")
  passed=$((passed + t - f - s))
  failed=$((failed + f))
  skipped=$((skipped + s))
}
# A build or check step counts as one failed test when it fails.
step() {
  local name=$1; shift
  note "$name"
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failed=$((failed + 1)); step_failed=1; fi
}

if [ -z "${ORVAQ_SKIP_SETUP:-}" ]; then
  note "setup"
  bash tools/setup.sh || { echo "setup failed"; echo "Tests: 0 passed, 1 failed, 0 skipped"; exit 1; }
fi

# The Windows build the Wine tests and the lab scenarios run (the lab tests ask the same
# function): build/win32 where this kernel runs 32-bit code, else build/win64.
win_build=$(orvaq_win_test_build)

step "configure+build host" bash -c "cmake --preset host >/dev/null && cmake --build --preset host -j $jobs"
# With its tests everywhere, so that code which only fails to compile for i686 fails here
# even on a machine that cannot run what it builds.
step "configure+build win32 (shipped i686 programs and their Wine tests)" bash -c \
  "cmake --preset win32 -DBUILD_TESTING=ON >/dev/null && cmake --build --preset win32 -j $jobs"
if [ "$win_build" = build/win64 ]; then
  step "configure+build win64 (Wine test flavour)" bash -c "cmake --preset win64 >/dev/null && cmake --build --preset win64 -j $jobs"
fi
step "core boundary" bash tools/check-core.sh
step "shipped programs are PE32 i386 GUI, static" bash tools/check-pe.sh build/win32 i386

note "host tests"
ctest --test-dir build/host -j "$jobs" -LE 'e2e' --output-on-failure 2>&1 | tee build/host-tests.log | tail -15
count_ctest build/host-tests.log

note "Wine tests ($win_build)"
if [ "$win_build" = build/win32 ]; then
  used="Wine tests and lab scenarios run the shipped i686 build ($win_build)"
else
  used="This kernel cannot run 32-bit code: Wine tests and lab scenarios run the x86_64 build of the same sources ($win_build)"
fi
echo "$used"
tools/with-wine.sh "$win_build" ctest --test-dir "$win_build" -j "$jobs" --output-on-failure \
  2>&1 | tee "build/wine-tests.log" | tail -15
count_ctest build/wine-tests.log

note "lab scenarios (simulator + Orvaq under Wine in network namespaces, $win_build)"
ctest --test-dir build/host -L e2e --output-on-failure 2>&1 | tee build/e2e-tests.log | tail -15
count_ctest build/e2e-tests.log

echo
echo "$used."
echo "Tests: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
