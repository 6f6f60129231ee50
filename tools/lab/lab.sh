#!/usr/bin/env bash
# The lab: a virtual LAN of network namespaces on this machine. One namespace holds a
# bridge, one the scanner simulator, one each workstation; veth pairs join them to the
# bridge. Addresses are private and exist only inside these namespaces, so nothing the
# lab sends reaches a real network. Workstations run programs under Wine with their own
# prefix and a wineserver started inside their namespace (Wine opens its sockets in the
# wineserver), on one shared Xvfb display.
#
#   tools/lab/lab.sh up [WORKSTATIONS]      build the LAN (default 2 workstations), start the simulator
#   tools/lab/lab.sh down                   remove everything it made (also after a crash)
#   tools/lab/lab.sh status                 namespaces, addresses, processes
#   tools/lab/lab.sh run N [--bg] PROG ARGS run a Windows program under Wine on workstation N
#                                           (the loader of its machine type: i386 or x86_64)
#   tools/lab/lab.sh exec N CMD ARGS        run a Linux command inside workstation N's namespace
#   tools/lab/lab.sh sim [-s K] CMD ARGS    control command to simulator K (lumeq2-simctl; default 1)
#   tools/lab/lab.sh screenshot FILE        the shared display as PNG
#   tools/lab/lab.sh env                    print the lab's names and addresses (shell syntax)
#
# Environment: ORVAQ_LAB (name prefix, default olab; keep it short), ORVAQ_LAB_NET (first
# three octets, default 10.213.77), ORVAQ_LAB_BIN (folder holding lumeq2-sim and
# lumeq2-simctl, default build/host/bin), ORVAQ_LAB_SIM_ARGS (more simulator options),
# ORVAQ_LAB_FLAVOUR (slumeq2 on port 9080, or lumeq2 on port 80), ORVAQ_LAB_SCANNERS
# (simulated scanners, default 1: scanner K answers at NET.(9+K) with serial LQ2SIM000K).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/wine-env.sh"

LAB=${ORVAQ_LAB:-olab}
NET=${ORVAQ_LAB_NET:-10.213.77}
BIN=${ORVAQ_LAB_BIN:-$root/build/host/bin}
FLAVOUR=${ORVAQ_LAB_FLAVOUR:-slumeq2}
STATE=${ORVAQ_LAB_STATE:-/tmp/orvaq-lab-$LAB}
NS_BR=$LAB-br
NS_SIM=$LAB-sim
SIM_IP=$NET.10
BCAST=$NET.255
SCANNERS=${ORVAQ_LAB_SCANNERS:-1}
SIM_SOCK=$STATE/sim.sock
sim_ip() { echo "$NET.$((9 + $1))"; }
sim_sock() { if [ "$1" = 1 ]; then echo "$STATE/sim.sock"; else echo "$STATE/sim$1.sock"; fi; }
sim_record() { if [ "$1" = 1 ]; then echo "$STATE/record.jsonl"; else echo "$STATE/record$1.jsonl"; fi; }

ws_ns() { echo "$LAB-ws$1"; }
ws_ip() { echo "$NET.$((20 + $1))"; }
ws_mac() { printf '02:4c:51:%02x:00:%02x' "${NET##*.}" "$1"; }
die() { echo "lab: $*" >&2; exit 1; }
need_root() { [ "$(id -u)" = 0 ] || die "needs root (network namespaces)"; }

# Running, not merely a zombie left for a PID 1 that does not reap.
alive() {
  local st
  st=$(ps -o stat= -p "$1" 2>/dev/null || true)
  [ -n "$st" ] && [ "${st#Z}" = "$st" ]
}

# Records a PID we started, with a label, so that down ends exactly those.
remember() { echo "$2 $1" >> "$STATE/pids"; }

lab_namespaces() { ip netns list 2>/dev/null | awk '{print $1}' | grep -E "^${LAB}-(br|sim|ws[0-9]+)$" || true; }

# A node: its namespace, a veth pair whose node end is eth0 and whose bridge end is
# p-NAME in the bridge namespace, the address, and loopback.
add_node() {
  local name=$1 ns=$2 ip=$3 mac=$4
  ip netns add "$ns"
  ip -n "$NS_BR" link add "p-$name" type veth peer name eth0 netns "$ns"
  ip -n "$NS_BR" link set "p-$name" master br0 up
  ip -n "$ns" link set eth0 address "$mac"
  ip -n "$ns" addr add "$ip/24" brd "$BCAST" dev eth0
  ip -n "$ns" link set eth0 up
  ip -n "$ns" link set lo up
}

wait_for_socket() {
  local i
  for i in $(seq 1 100); do [ -S "$1" ] && return 0; sleep 0.1; done
  return 1
}

cmd_up() {
  need_root
  local count=${1:-2}
  [ "$count" -ge 1 ] && [ "$count" -le 9 ] || die "1 to 9 workstations"
  [ -x "$BIN/lumeq2-sim" ] || die "no simulator at $BIN/lumeq2-sim (build the host preset or set ORVAQ_LAB_BIN)"
  [ -z "$(lab_namespaces)" ] || die "lab $LAB is already up (tools/lab/lab.sh down first)"
  rm -rf "$STATE"
  mkdir -p "$STATE"
  echo "$count" > "$STATE/workstations"
  echo "$SCANNERS" > "$STATE/scanners"

  ip netns add "$NS_BR"
  ip -n "$NS_BR" link set lo up
  ip -n "$NS_BR" link add br0 type bridge
  ip -n "$NS_BR" link set br0 up
  add_node sim "$NS_SIM" "$SIM_IP" "02:4c:51:$(printf %02x "${NET##*.}"):00:10"
  local n
  for n in $(seq 1 "$count"); do add_node "ws$n" "$(ws_ns "$n")" "$(ws_ip "$n")" "$(ws_mac "$n")"; done

  [ "$SCANNERS" -ge 1 ] && [ "$SCANNERS" -le 9 ] || die "1 to 9 scanners"
  local port=9080 k
  [ "$FLAVOUR" = lumeq2 ] && port=80
  for k in $(seq 2 "$SCANNERS"); do ip -n "$NS_SIM" addr add "$(sim_ip "$k")/24" brd "$BCAST" dev eth0; done
  for k in $(seq 1 "$SCANNERS"); do
    # shellcheck disable=SC2086
    ip netns exec "$NS_SIM" "$BIN/lumeq2-sim" --flavour "$FLAVOUR" --address "$(sim_ip "$k")" --http-port "$port" \
      --broadcast "$BCAST:48322" --frame-source "$(sim_ip "$k")" --mask 255.255.255.0 --gateway "$NET.1" \
      --mac "02:4c:51:$(printf %02x "${NET##*.}"):00:$((9 + k))" --serial "${ORVAQ_LAB_SERIAL:-LQ2SIM000}$k" \
      --control "$(sim_sock "$k")" --record "$(sim_record "$k")" ${ORVAQ_LAB_SIM_ARGS:-} \
      > "$STATE/sim$k.log" 2>&1 &
    remember $! "sim$k"
    wait_for_socket "$(sim_sock "$k")" || { cat "$STATE/sim$k.log" >&2; cmd_down; die "simulator $k did not start"; }
  done
  echo "lab $LAB up: simulator(s) $SIM_IP..$(sim_ip "$SCANNERS") port $port (frames to $BCAST:48322), workstations $(ws_ip 1)..$(ws_ip "$count")"
}

# Ends the processes of one namespace (started by this lab), politely then firmly.
end_namespace_processes() {
  local ns=$1 pids p
  pids=$(ip netns pids "$ns" 2>/dev/null || true)
  [ -n "$pids" ] || return 0
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  for _ in $(seq 1 30); do
    pids=$(ip netns pids "$ns" 2>/dev/null || true)
    [ -n "$pids" ] || return 0
    sleep 0.1
  done
  for p in $pids; do kill -9 "$p" 2>/dev/null || true; done
}

cmd_down() {
  need_root
  local label pid ns
  # Wineservers first (per prefix), then every PID we recorded.
  if [ -d "$STATE" ]; then
    for d in "$STATE"/ws*/prefix; do
      [ -d "$d" ] || continue
      WINEPREFIX=$d "$ORVAQ_WINESERVER" -k >/dev/null 2>&1 || true
    done
    if [ -f "$STATE/pids" ]; then
      while read -r label pid; do
        kill "$pid" 2>/dev/null || true
      done < "$STATE/pids"
      sleep 0.3
      while read -r label pid; do
        alive "$pid" && kill -9 "$pid" 2>/dev/null || true
      done < "$STATE/pids"
    fi
  fi
  # Whatever still runs inside the lab's namespaces was started by the lab.
  for ns in $(lab_namespaces); do end_namespace_processes "$ns"; done
  # Deleting a namespace removes its interfaces; the bridge namespace goes last.
  for ns in $(lab_namespaces | grep -v -- "-br$"); do ip netns delete "$ns" 2>/dev/null || true; done
  for ns in $(lab_namespaces); do ip netns delete "$ns" 2>/dev/null || true; done
  if [ -d "$STATE" ]; then
    rm -f "$STATE"/sim*.sock
    # Keep the record and logs for a look afterwards; drop the bulky Wine prefixes.
    rm -rf "$STATE"/ws*/prefix "$STATE/pids"
  fi
  echo "lab $LAB down"
}

cmd_status() {
  local ns
  echo "lab $LAB ($NET.0/24), state in $STATE"
  for ns in $(lab_namespaces); do
    printf '%-14s %s\n' "$ns" "$(ip -n "$ns" -br addr show 2>/dev/null | grep -v '^lo ' | tr -s ' ' | paste -sd';' -)"
    printf '%-14s processes: %s\n' "" "$(ip netns pids "$ns" 2>/dev/null | paste -sd' ' -)"
  done
  if [ -f "$STATE/pids" ]; then
    local label pid
    while read -r label pid; do
      if alive "$pid"; then echo "$label: pid $pid running"; else echo "$label: pid $pid gone"; fi
    done < "$STATE/pids"
  fi
  [ -n "$(lab_namespaces)" ] || echo "(lab is down)"
}

# The Wine side of workstation N: prefix, shared display, wineserver in its namespace.
ensure_wine() {
  local n=$1 ns dir
  ns=$(ws_ns "$n")
  dir=$STATE/ws$n
  mkdir -p "$dir"
  # One display for all: two runs starting at once must not both start one.
  exec 9>"$STATE/display.lock"
  flock 9
  if [ ! -f "$STATE/display" ]; then
    orvaq_xvfb_start
    remember "$ORVAQ_XVFB_PID" xvfb
    echo "$DISPLAY" > "$STATE/display"
  fi
  flock -u 9
  exec 9>&-
  export DISPLAY
  DISPLAY=$(cat "$STATE/display")
  if [ ! -f "$dir/prefix/system.reg" ]; then
    orvaq_wine_prefix_create "$dir/prefix"
  fi
  export WINEPREFIX=$dir/prefix WINEDEBUG=${WINEDEBUG:--all}
  if [ ! -f "$dir/wineserver.pid" ] || ! kill -0 "$(cat "$dir/wineserver.pid")" 2>/dev/null; then
    ip netns exec "$ns" env WINEPREFIX="$WINEPREFIX" "$ORVAQ_WINESERVER" -f -p >/dev/null 2>&1 &
    echo $! > "$dir/wineserver.pid"
    remember "$(cat "$dir/wineserver.pid")" "wineserver-ws$n"
    sleep 0.5
    # Start Wine's own services now, with nothing attached to their output: started by
    # a program later, they would inherit its output and hold a caller's pipe open.
    ip netns exec "$ns" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" WINEDEBUG=-all \
      "$ORVAQ_WINE_LOADER64" wineboot </dev/null >/dev/null 2>&1 || true
  fi
}

cmd_run() {
  need_root
  local n=${1:?workstation number}; shift
  local bg=0
  if [ "${1:-}" = --bg ]; then bg=1; shift; fi
  [ $# -ge 1 ] || die "run N [--bg] PROGRAM [ARGS]"
  ip netns list | grep -q "^$(ws_ns "$n")\b" || die "no workstation $n"
  ensure_wine "$n"
  # The 64-bit prefix runs either machine type; the 32-bit loader starts an i386 program.
  local loader
  loader=$(orvaq_wine_loader_for "$1")
  if [ $bg = 1 ]; then
    ip netns exec "$(ws_ns "$n")" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" WINEDEBUG="$WINEDEBUG" \
      "$loader" "$@" > "$STATE/ws$n/run.log" 2>&1 &
    remember $! "run-ws$n"
    echo "started on ws$n: pid $!"
  else
    ip netns exec "$(ws_ns "$n")" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" WINEDEBUG="$WINEDEBUG" \
      "$loader" "$@"
  fi
}

cmd_exec() {
  need_root
  local n=${1:?workstation number}; shift
  ip netns exec "$(ws_ns "$n")" "$@"
}

cmd_sim() {
  local k=1
  if [ "${1:-}" = -s ]; then k=${2:?scanner number}; shift 2; fi
  "$BIN/lumeq2-simctl" "$(sim_sock "$k")" "$@"
}

cmd_screenshot() {
  local file=${1:?file.png}
  [ -f "$STATE/display" ] || die "no display yet (nothing has run under Wine)"
  import -display "$(cat "$STATE/display")" -window root "$file"
}

cmd_env() {
  cat <<EOF
LAB=$LAB
LAB_NET=$NET
LAB_STATE=$STATE
LAB_SIM_NS=$NS_SIM
LAB_SIM_IP=$SIM_IP
LAB_BROADCAST=$BCAST
LAB_SIM_SOCKET=$SIM_SOCK
LAB_RECORD=$STATE/record.jsonl
EOF
  local k
  for k in $(seq 1 "$(cat "$STATE/scanners" 2>/dev/null || echo 1)"); do
    echo "LAB_SIM${k}_IP=$(sim_ip "$k")"; echo "LAB_SIM${k}_SOCKET=$(sim_sock "$k")"; echo "LAB_SIM${k}_RECORD=$(sim_record "$k")"
  done
  local n count
  count=$(cat "$STATE/workstations" 2>/dev/null || echo 0)
  for n in $(seq 1 "$count"); do echo "LAB_WS${n}_NS=$(ws_ns "$n")"; echo "LAB_WS${n}_IP=$(ws_ip "$n")"; echo "LAB_WS${n}_MAC=$(ws_mac "$n")"; done
}

case ${1:-} in
  up) shift; cmd_up "$@" ;;
  down) cmd_down ;;
  status) cmd_status ;;
  run) shift; cmd_run "$@" ;;
  exec) shift; cmd_exec "$@" ;;
  sim) shift; cmd_sim "$@" ;;
  screenshot) shift; cmd_screenshot "$@" ;;
  env) cmd_env ;;
  *) sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
