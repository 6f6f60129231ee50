#!/usr/bin/env bash
# Lab test of the simulator: the lab comes up; from a workstation namespace a UDP
# listener receives the status frames, curl identifies and reserves, and a TCP listener
# receives a scanned plate equal to the simulator's file; then the lab comes down and
# leaves no namespace, interface or process behind. Traffic stays on the lab's addresses.
#   lab_test.sh BIN_DIR     (BIN_DIR holds lumeq2-sim and lumeq2-simctl)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
lab_test_open olt 213 1 "${1:-}"
. "$root/tools/wine-env.sh"
ws() { bash "$lab" exec 1 "$@"; }

# 1. Status frames reach a UDP listener on the workstation (plain sockets).
cat > "$work/udp.py" <<'EOF'
import socket, struct, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", 48322))
s.settimeout(10)
numbers = []
for _ in range(2):
    data, (addr, port) = s.recvfrom(1024)
    length, magic, version = struct.unpack_from("<HHB", data, 0)
    serial = data[21:37].split(b"\0")[0].decode()
    numbers.append(data[86])
    print(len(data), hex(magic), version, serial, addr, data[86])
    if len(data) != 122 or length != 122 or magic != 0xA55A or version != 1:
        sys.exit(1)
sys.exit(0 if numbers[1] == (numbers[0] + 1) % 256 else 2)
EOF
check "UDP listener in the workstation receives two frames, counter running" \
  ws python3 "$work/udp.py"

# 2. curl identifies and reserves over HTTP/1.0 POST.
mac=$LAB_WS1_MAC
printf 'ready=1\r\nterm=03\r\ncolor=05\r\nmac=%s\r\ntext_coding=ASCII\r\ndoc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd' "$mac" > "$work/id.txt"
printf 'ready=1\r\nterm=03\r\ncolor=05\r\nmac=%s\r\ntext_coding=ASCII\r\ndoc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=040\r\nlevel=0\r\nmode=sd' "$mac" > "$work/res.txt"
post() {  # post FILE BODYFILE -> "status body"
  ws curl -s --http1.0 -m 5 -o "$work/answer" -w '%{http_code}' -H 'Content-Type:' \
    --data-binary "@$2" "http://$LAB_SIM_IP:9080/$1"
}
check "identification answered 200" test "$(post lumeq2.id "$work/id.txt")" = 200
check "reservation answered 200" test "$(post lumeq2.res "$work/res.txt")" = 200
printf 'image_info' > "$work/q.txt"
check "image_info without an image is refused with its number" test "$(post lumeq2.prm "$work/q.txt")" = 404
status=$(bash "$lab" sim status)
check "the simulator reports terminal 3 as holder" grep -q '"resaTerminal":3' <<<"$status"

# 3. A scanned plate reaches a TCP listener on the workstation, byte for byte.
cat > "$work/tcp.py" <<'EOF'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", 3333))
s.listen(1)
open(sys.argv[2], "w").close()  # ready
s.settimeout(20)
c, addr = s.accept()
c.settimeout(20)
with open(sys.argv[1], "wb") as f:
    while True:
        b = c.recv(1 << 20)
        if not b:
            break
        f.write(b)
print("from", addr[0])
EOF
ws python3 "$work/tcp.py" "$work/received.bin" "$work/listening" > "$work/tcp.log" 2>&1 &
tcp_pid=$!
for _ in $(seq 1 50); do [ -f "$work/listening" ] && break; sleep 0.1; done
check "scan accepted" bash "$lab" sim scan size=1 "save=$work/sent.bin"
wait "$tcp_pid"
check "TCP listener finished" test $? = 0
check "received bytes equal the simulator's file" cmp -s "$work/sent.bin" "$work/received.bin"
check "the image came from the simulator's address" grep -q "from $LAB_SIM_IP" "$work/tcp.log"
printf 'read_ok' > "$work/q.txt"
check "read_ok answered 200" test "$(post lumeq2.prm "$work/q.txt")" = 200

# 4. The record: requests from the workstation, frames and the image to lab addresses only.
rec=$LAB_RECORD
check "record holds the identification request line" grep -q '"request":"POST /lumeq2.id HTTP/1.0"' "$rec"
check "record holds requests from the workstation" grep -q "\"from\":\"$LAB_WS1_IP:" "$rec"
bad=$(grep -o '"to":"[^"]*"' "$rec" | grep -v "\"to\":\"$LAB_NET\." || true)
check "every frame and image went to a lab address" test -z "$bad"

# 5. A program under Wine on the workstation sees the workstation's network (its
#    wineserver runs in that namespace), and the shared display can be photographed.
if [ -x "$ORVAQ_WINE_LOADER64" ] && [ "${ORVAQ_LAB_TEST_WINE:-1}" = 1 ]; then
  timeout 240 bash "$lab" run 1 ipconfig > "$work/ipconfig.txt" 2>&1
  check "ipconfig under Wine lists the workstation's address" grep -q "$LAB_WS1_IP" "$work/ipconfig.txt"
  check "screenshot of the shared display" bash -c "bash '$lab' screenshot '$work/shot.png' && test -s '$work/shot.png'"
fi

# 6. Down leaves nothing behind.
sim_pids=$(ip netns pids "$LAB_SIM_NS" 2>/dev/null)
xvfb_pids=$(awk '$1 == "xvfb" {print $2}' "/tmp/orvaq-lab-$ORVAQ_LAB/pids" 2>/dev/null)
bash "$lab" down >/dev/null
check "no lab namespace left" test -z "$(ip netns list | grep "^$ORVAQ_LAB-" || true)"
check "no lab interface in this namespace" test -z "$(ip -br link | grep -E "p-(sim|ws)" || true)"
left=""
# (An exited process whose parent is gone may linger as a zombie where PID 1 does not
# reap; it runs nothing and counts as gone.)
for p in $sim_pids; do
  st=$(ps -o stat= -p "$p" 2>/dev/null || true)
  [ -n "$st" ] && [ "${st#Z}" = "$st" ] && left="$left $p"
done
check "no simulator process left" test -z "$left"
left=""
for f in "/tmp/orvaq-lab-$ORVAQ_LAB"/ws*/wineserver.pid; do
  [ -f "$f" ] || continue
  p=$(cat "$f"); st=$(ps -o stat= -p "$p" 2>/dev/null || true)
  [ -n "$st" ] && [ "${st#Z}" = "$st" ] && left="$left $p"
done
check "no wineserver left" test -z "$left"
left=""
for p in $xvfb_pids; do
  st=$(ps -o stat= -p "$p" 2>/dev/null || true)
  [ -n "$st" ] && [ "${st#Z}" = "$st" ] && left="$left $p"
done
check "no display server left" test -z "$left"

# 7. Down after a crash: the simulator killed and the lab's own notes lost.
ORVAQ_LAB_SCANNERS=2 bash "$lab" up 2 >/dev/null || { echo "FAILED - second lab up"; failures=$((failures + 1)); }
crashed=$(ip netns pids "$LAB_SIM_NS" 2>/dev/null)
for p in $crashed; do kill -9 "$p"; done
rm -f "/tmp/orvaq-lab-$ORVAQ_LAB/pids"
bash "$lab" down >/dev/null
check "down after a crash leaves no namespace" test -z "$(ip netns list | grep "^$ORVAQ_LAB-" || true)"

echo "$failures failure(s)"
[ "$failures" = 0 ]
