#!/usr/bin/env bash
# Coverage-guided fuzzing of the parser targets: builds the fuzz preset (clang 14,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer), then runs each target, or
# the ones named, one after the other. The corpus kept in the repository
# (tests/fuzz/corpus/<target>) is the seed; what a run finds goes to a scratch corpus
# (build/fuzz/work/<target>), so the repository's corpus changes only with --merge, which
# folds the new coverage back in, minimised. The inputs of faults once found
# (tests/fuzz/regressions/<target>, never merged away) are run too. Crash, leak, timeout
# and out-of-memory inputs are saved under build/fuzz/findings/<target>; any of them makes
# the exit status 1.
#
#   tools/fuzz.sh [--time SECONDS | --runs N] [--jobs N] [--merge] [--timeout SECONDS] [--no-build] [TARGET...]
#
# One line per target: executions, executions per second, libFuzzer's final coverage
# (cov: edges, ft: features), the corpus in memory at the end, and the findings. With
# --jobs, that many processes fuzz each target at once over one scratch corpus, sharing
# what they find, and --runs is their sum; the line adds up their executions and rates and
# shows the best coverage of any of them.
set -euo pipefail

# Everything runs from main, read whole before it starts: a campaign of hours may run while
# the script itself is being edited.
main() {
  ROOT=$(cd "$(dirname "$0")/.." && pwd)
  BUILD=$ROOT/build/fuzz
  CORPUS=$ROOT/tests/fuzz/corpus

  usage() {
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
  }

  TIME=60
  RUNS=
  MERGE=0
  UNIT_TIMEOUT=5
  JOBS=1
  BUILD_FIRST=1
  TARGETS=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --time) TIME=${2:?}; RUNS=; shift 2 ;;
      --runs) RUNS=${2:?}; shift 2 ;;
      --jobs) JOBS=${2:?}; shift 2 ;;
      --merge) MERGE=1; shift ;;
      --timeout) UNIT_TIMEOUT=${2:?}; shift 2 ;;
      --no-build) BUILD_FIRST=0; shift ;;
      -h|--help) usage ;;
      -*) echo "fuzz: unknown option $1" >&2; usage ;;
      *) TARGETS+=("$1"); shift ;;
    esac
  done

  # The longest input each target is given. Raw files are large, but a few lines of the
  # widest Mode show every path of their readers; longer inputs only slow the runs down.
  declare -A MAX_LEN=(
    [fuzz_sndp_frame]=256            # one status frame is 122 bytes
    [fuzz_scanner_answers]=8192      # past the 4096-byte name limit
    [command_line_fuzz]=2048
    [ini_text_fuzz]=2048
    [fuzz_rebuild_command_line]=2048  # past the 1024-character argument list
    [fuzz_reconstruction]=1024
    [grey_bmp_fuzz]=1024
    [fuzz_raw_check]=24576           # header and four lines of 5648 bytes, and a description
    [simulator_raw_check_fuzz]=24576
    [rxfilter_raw_fuzz]=98304        # header and up to 34 lines of Mode 2 (2848 bytes)
    [fuzz_controller]=512            # dozens of events: a whole acquisition takes 88 bytes
    [simulator_payload_fuzz]=4096
    [fuzz_pending_plate]=4096
    [fuzz_delivered_plate]=1024
    [fuzz_info_file]=2048            # an information file is under 1.5 KB in UTF-16
  )

  # The compiler and its fuzzing runtime, installed like tools/setup.sh does.
  missing=()
  for p in clang-14 libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    [ "$(id -u)" = 0 ] || { echo "fuzz: ${missing[*]} missing; run as root or install them" >&2; exit 1; }
    echo "fuzz: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi

  cd "$ROOT"
  if [ "$BUILD_FIRST" = 1 ]; then
    if [ ! -f "$BUILD/CMakeCache.txt" ]; then
      cmake --preset fuzz >/dev/null
    fi
    cmake --build --preset fuzz -j "${ORVAQ_FUZZ_BUILD_JOBS:-2}" >"$BUILD/build.log" 2>&1 || {
      tail -n 40 "$BUILD/build.log" >&2
      echo "fuzz: build failed (build/fuzz/build.log)" >&2
      exit 1
    }
  fi

  mapfile -t ALL <"$BUILD/fuzz_targets.txt"
  if [ ${#TARGETS[@]} -eq 0 ]; then
    TARGETS=("${ALL[@]}")
  fi
  for t in "${TARGETS[@]}"; do
    printf '%s\n' "${ALL[@]}" | grep -qx "$t" || { echo "fuzz: no fuzz target $t" >&2; exit 2; }
    [ -n "${MAX_LEN[$t]:-}" ] || { echo "fuzz: no max_len for $t in tools/fuzz.sh" >&2; exit 2; }
  done

  [[ "$JOBS" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz: --jobs wants a count, not $JOBS" >&2; exit 2; }
  # AddressSanitizer without the allocation and release stacks of each block and with a
  # smaller quarantine: one and a half times the executions of the controller target, and
  # the same faults found. A finding is replayed with the defaults for its whole report:
  # build/fuzz/bin/<target> build/fuzz/findings/<target>/<file>.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0:quarantine_size_mb=16}

  if [ -n "$RUNS" ]; then
    LIMIT=(-runs="$(( (RUNS + JOBS - 1) / JOBS ))")
  else
    LIMIT=(-max_total_time="$TIME")
  fi

  # The last value of a libFuzzer status field ("cov: 123") in a log, the best of the jobs'
  # logs; and a final statistic, added up over them.
  last_field() {
    local f
    for f in "${@:2}"; do grep -o "$1: [0-9/a-zA-Z]*" "$f" | tail -n 1 | sed "s/^$1: //"; done | sort -V | tail -n 1
  }
  final_stat() { sed -n "s/^stat::$1: *//p" "${@:2}" | awk '{ n += $1 } END { if (NR) print n }'; }
  artifacts() { ls "$1" 2>/dev/null | grep -E '^(crash|leak|timeout|oom)-' | sort || true; }

  # Both corpora, the kept one and the run's, minimised into the kept one. libFuzzer's merge
  # keeps every input that brings a new feature (hit counts of an edge included), hundreds
  # of files for a text parser; the repository keeps, of those, the ones that reach an edge
  # no smaller input reached: a few dozen small files with the same edges.
  merge_corpus() {
    local t=$1 bin=$2
    shift 2
    local merged=$BUILD/merge/$t control=$BUILD/merge/$t.control staged=$BUILD/merge/$t.kept
    rm -rf "$merged" "$control" "$staged"
    mkdir -p "$merged" "$staged"
    if ! nice -n 10 "$bin" -merge=1 -merge_control_file="$control" "$@" "$merged" "$CORPUS/$t" "$BUILD/work/$t" \
        >"$BUILD/logs/$t.merge.log" 2>&1; then
      echo "fuzz: merge of $t failed (build/fuzz/logs/$t.merge.log)" >&2
      return 1
    fi
    # The control file: the number of inputs, the number of them in the first folder, their
    # paths, then per input the features and the edges it added ("COV index edge...").
    local f
    awk 'NR == 1 { n = $1 } NR > 2 && NR <= n + 2 { path[NR - 3] = $0 } $1 == "COV" && NF > 2 { print path[$2] }' \
        "$control" | while IFS= read -r f; do
      cp "$f" "$staged/$(sha1sum "$f" | cut -c1-40)"
    done
    if [ -z "$(ls "$staged")" ]; then
      echo "fuzz: merge of $t kept nothing (build/fuzz/logs/$t.merge.log)" >&2
      return 1
    fi
    find "$CORPUS/$t" -maxdepth 1 -type f -delete
    cp "$staged"/* "$CORPUS/$t"/
    echo "  merged: $(ls "$CORPUS/$t" | wc -l) files, $(cat "$CORPUS/$t"/* | wc -c) bytes in tests/fuzz/corpus/$t"
  }

  failed=0
  started=$SECONDS
  printf '%-26s %12s %8s %6s %7s %12s  %s\n' target executions exec/s cov ft corpus findings
  for t in "${TARGETS[@]}"; do
    bin=$BUILD/bin/$t
    work=$BUILD/work/$t
    found=$BUILD/findings/$t
    log=$BUILD/logs/$t.log
    mkdir -p "$work" "$found" "$BUILD/logs"
    before=$(artifacts "$found")
    args=(-rss_limit_mb=2048 -timeout="$UNIT_TIMEOUT" -max_len="${MAX_LEN[$t]}" -print_final_stats=1
          -artifact_prefix="$found/")
    seeds=("$CORPUS/$t")
    [ -d "$ROOT/tests/fuzz/regressions/$t" ] && seeds+=("$ROOT/tests/fuzz/regressions/$t")
    rc=0
    logs=() pids=()
    for j in $(seq 1 "$JOBS"); do
      if [ "$JOBS" = 1 ]; then logs+=("$log"); else logs+=("$BUILD/logs/$t.$j.log"); fi
      nice -n 10 "$bin" "${args[@]}" "${LIMIT[@]}" "$work" "${seeds[@]}" >"${logs[-1]}" 2>&1 &
      pids+=($!)
    done
    for p in "${pids[@]}"; do wait "$p" || rc=$?; done
    new=$(comm -13 <(echo "$before") <(artifacts "$found") | grep . || true)
    findings=$(echo -n "$new" | grep -c . || true)
    if [ "$rc" -ne 0 ] && [ "$findings" -eq 0 ]; then
      new="exit status $rc, see build/fuzz/logs/$t*.log"
      findings=1
    fi
    if [ "$findings" -gt 0 ]; then
      failed=1
      note="$findings: $(echo "$new" | tr '\n' ' ')"
    else
      note=0
    fi
    printf '%-26s %12s %8s %6s %7s %12s  %s\n' "$t" "$(final_stat number_of_executed_units "${logs[@]}")" \
      "$(final_stat average_exec_per_sec "${logs[@]}")" "$(last_field cov "${logs[@]}")" \
      "$(last_field ft "${logs[@]}")" "$(last_field corp "${logs[@]}")" "$note"

    if [ "$MERGE" = 1 ] && [ "$findings" -eq 0 ]; then
      merge_corpus "$t" "$bin" "${args[@]}" || { failed=1; continue; }
    fi
  done
  echo "fuzz: $(( SECONDS - started )) s for ${#TARGETS[@]} targets"
  return "$failed"
}

main "$@"; exit $?
