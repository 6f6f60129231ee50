#!/bin/sh
# run_simulator.sh SIMULATOR STOPFILE ARGS...: runs the scanner simulator (a Linux program,
# started from a Wine test) until STOPFILE appears, at most 60 s, then stops it by its PID.
sim=$1
stop=$2
shift 2
"$sim" "$@" >"$stop.log" 2>&1 &
pid=$!
i=0
while [ ! -e "$stop" ] && [ $i -lt 600 ] && kill -0 $pid 2>/dev/null; do
  sleep 0.1
  i=$((i + 1))
done
kill $pid 2>/dev/null
wait $pid 2>/dev/null
rm -f "$stop"
