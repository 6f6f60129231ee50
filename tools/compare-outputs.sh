#!/usr/bin/env bash
# compare-outputs.sh: the acquisition outputs of two builds of Orvaq, byte for byte.
# Each build runs on a lab workstation as a practice application starts it, once with
# the operator's adjustments (gamma, luminosity and contrast not neutral) and once with
# "/imaging" (no adjustments), while the simulator scans a plate of every size at every
# Mode, always from the same seed. The final BMP, the ".NFO", the unadjusted
# "LASTACQP2.BIN.bmp" and the ".RAW" of each plate must then be the same for both builds;
# the ".RAW" is compared without the scan time of its header (bytes 24..27), which the
# simulator takes from the clock, and must hold exactly what the simulator sent. Both
# programs' logs are kept beside the files (tools/acqtimes.py reads them). Run as root.
#   tools/compare-outputs.sh BEFORE_BIN AFTER_BIN [SIM_BIN]
# BEFORE_BIN and AFTER_BIN hold Orvaq.exe, Orvaq.TXT and RXFilter.DLL; SIM_BIN holds
# lumeq2-sim and lumeq2-simctl (default build/host/bin). COMPARE_SIZES, COMPARE_MODES and
# COMPARE_SETTINGS ("adjust imaging") narrow the run; COMPARE_OUT is the work folder
# (default /tmp/orvaq-compare), where each run's files and logs stay. ORVAQ_LAB and
# ORVAQ_LAB_NET name the lab (default ocmp on 10.213.79).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
before=$(cd "${1:?usage: compare-outputs.sh BEFORE_BIN AFTER_BIN [SIM_BIN]}" && pwd) || exit 2
after=$(cd "${2:?usage: compare-outputs.sh BEFORE_BIN AFTER_BIN [SIM_BIN]}" && pwd) || exit 2
sim_bin=$(cd "${3:-$root/build/host/bin}" && pwd) || exit 2
sizes=${COMPARE_SIZES:-0 1 2 3}
modes=${COMPARE_MODES:-0 1 2 10}
settings=${COMPARE_SETTINGS:-adjust imaging}
out=${COMPARE_OUT:-/tmp/orvaq-compare}
export ORVAQ_LAB=${ORVAQ_LAB:-ocmp} ORVAQ_LAB_NET=${ORVAQ_LAB_NET:-10.213.79} ORVAQ_LAB_BIN=$sim_bin
lab="$root/tools/lab/lab.sh"
[ "$(id -u)" = 0 ] || { echo "compare-outputs: run as root (the lab uses network namespaces)" >&2; exit 2; }
trap 'bash "$lab" down >/dev/null 2>&1 || true' EXIT

# One run: build BIN with SETTING; every plate's files go to $out/NAME as s<size>m<mode>.*
# The image folder has the same path in every run, since the ".NFO" names its files.
run() {
  local name=$1 bin=$2 setting=$3 dir=$out/$1 images=$out/images prog=$out/program
  rm -rf "$dir" "$images" "$prog"
  mkdir -p "$dir" "$images" "$prog"
  cp "$bin"/Orvaq.exe "$bin"/Orvaq.TXT "$bin"/RXFilter.DLL "$prog"/
  cp "$bin"/Orvaqerr.* "$prog"/ 2>/dev/null || true
  printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=1\r\nLUMEQ2Color=2\r\nAdapterName=eth0\r\n%b' \
    'AcqGamma=-35\r\nAcqLuminosity=12\r\nAcqContrast=27\r\n' > "$prog/Orvaq.INI"
  local extra=""
  [ "$setting" = imaging ] && extra=/imaging
  bash "$lab" down >/dev/null 2>&1 || true
  bash "$lab" up 1 >/dev/null || { echo "compare-outputs: the lab did not come up" >&2; return 1; }
  bash "$lab" sim state mode=mono >/dev/null
  bash "$lab" run 1 --bg "$prog/Orvaq.exe" /doctor "Dr Martin" /patient "Anne Durand" /idpatient 1234 \
    /image_path "$(echo "Z:$images" | tr / '\\')" /lang 40c $extra >/dev/null
  # Orvaq's log starts again at each acknowledged plate and the socket log at each
  # connection: both are followed while they are written, so every plate's lines stay
  # (tools/acqtimes.py reads them).
  local size mode n end nfo base f log="" keepers=""
  end=$((SECONDS + 120))
  while [ -z "$log" ] && [ $SECONDS -le $end ]; do
    log=$(find "$ORVAQ_LAB_STATE_DIR" -path '*Logs KVW*' -name Orvaq.txt 2>/dev/null | head -n1)
    [ -n "$log" ] || sleep 0.5
  done
  if [ -n "$log" ]; then
    tail -F -n +1 "$log" > "$dir/Orvaq.txt" 2>/dev/null &
    keepers="$!"
    tail -F -n +1 "${log%/Logs KVW/*}/Logs RX/LUMImage.log" > "$dir/LUMImage.log" 2>/dev/null &
    keepers="$keepers $!"
  fi
  for mode in $modes; do
    for size in $sizes; do
      n=$(ls "$images"/*.NFO 2>/dev/null | wc -l)
      end=$((SECONDS + 180))
      until bash "$lab" sim scan size="$size" mode="$mode" seed=$((100 + 10 * mode + size)) \
          "save=$dir/s${size}m${mode}.sent" >/dev/null 2>&1; do
        [ $SECONDS -le $end ] || { echo "compare-outputs: $name: no scan of size $size Mode $mode" >&2; return 1; }
        sleep 1
      done
      end=$((SECONDS + 300))
      nfo=""
      while [ -z "$nfo" ] && [ $SECONDS -le $end ]; do
        [ "$(ls "$images"/*.NFO 2>/dev/null | wc -l)" -gt "$n" ] && nfo=$(ls -t "$images"/*.NFO | head -n1)
        sleep 0.2
      done
      [ -n "$nfo" ] || { echo "compare-outputs: $name: no .NFO for size $size Mode $mode" >&2; return 1; }
      base=${nfo%.NFO}
      for f in bmp RAW NFO; do cp "$base.$f" "$dir/s${size}m${mode}.$f" 2>/dev/null; done
      cp "$images/LASTACQP2.BIN.bmp" "$dir/s${size}m${mode}.thumb.bmp" 2>/dev/null
      echo "  $name: size $size Mode $mode done"
    done
  done
  sleep 1  # the keepers read what the last plate wrote
  for f in $keepers; do kill "$f" 2>/dev/null; wait "$f" 2>/dev/null; done
  bash "$lab" down >/dev/null 2>&1 || true
}
ORVAQ_LAB_STATE_DIR=/tmp/orvaq-lab-$ORVAQ_LAB

# The ".RAW" without its scan time.
raw_body() { python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[24:28] = bytes(4); sys.stdout.buffer.write(d)' "$1"; }

failures=0 compared=0
for setting in $settings; do
  echo "== $setting: before ($before)"
  run "before-$setting" "$before" "$setting" || exit 1
  echo "== $setting: after ($after)"
  run "after-$setting" "$after" "$setting" || exit 1
  for mode in $modes; do
    for size in $sizes; do
      p=s${size}m${mode}
      b=$out/before-$setting/$p a=$out/after-$setting/$p
      was=$failures
      for f in bmp NFO thumb.bmp; do
        compared=$((compared + 1))
        if ! cmp -s "$b.$f" "$a.$f"; then
          echo "DIFFERS - $setting $p.$f"; failures=$((failures + 1))
        fi
      done
      compared=$((compared + 1))
      if ! cmp -s <(raw_body "$b.RAW") <(raw_body "$a.RAW") || ! cmp -s "$a.RAW" "$a.sent"; then
        echo "DIFFERS - $setting $p.RAW"; failures=$((failures + 1))
      fi
      [ "$failures" = "$was" ] && echo "same - $setting $p: bmp $(stat -c %s "$a.bmp") bytes, RAW $(stat -c %s "$a.RAW"), NFO $(stat -c %s "$a.NFO")"
    done
  done
done
echo "$compared files compared, $failures differ"
[ "$failures" = 0 ]
