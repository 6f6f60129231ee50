#!/usr/bin/env python3
"""acqtimes.py: how long each step of an acquisition took, from Orvaq's logs.

    tools/acqtimes.py ORVAQ_LOG [SOCKET_LOG]

ORVAQ_LOG is the program's log ("Logs KVW/Orvaq.txt", Latin-1). Its lines carry only the
second; the reconstruction writes one line per step with the tick in milliseconds:
    hh:mm:ss - Etape de la reconstruction : <step> a <tick> ms.
SOCKET_LOG is the image receiver's log ("Logs RX/LUMImage.log"): the tick at accept, each
read's milliseconds since then, the tick at close. Each acquisition takes the connection
closed last before it started; one without shows "-" for its transfer.

Orvaq's log starts again after each acknowledged plate ("Reset du log suite a un
read_ok") and the socket log at each connection, so the files on disk hold the plate
under way at most: keep copies while they are written (tail -F, as
tools/compare-outputs.sh does); restarted headers in between are skipped.

Printed for each acquisition, in milliseconds ("-" where a step did not happen or its
end is unknown): the transfer (connection accepted to the last received byte), the
close (last byte to the socket closed, the final empty read), the check (to the start
of the reconstruction), then the reconstruction's steps up to the ".NFO", the time
after the last received byte, the filter library's time (correction and noise filter)
and Orvaq's own time (everything after the last received byte outside the library).
"""
import re
import sys

# Step names as the program writes them, in order, with the names printed here.
STEPS = [
    ("début", "library load"),
    ("correction", "correction"),
    ("filtre", "noise filter"),
    ("copie RAW", "raw copy"),
    ("bitmap", "bitmap"),
    ("vignette", "thumbnail"),
    ("réglages", "adjustments"),
    ("marqueur", "mark"),
    ("fichiers", "files"),
    ("fin", None),
]
ORDER = {name: i for i, (name, _) in enumerate(STEPS)}
LIBRARY_STEPS = ("correction", "filtre")
STEP_LINE = re.compile(r"^(\d\d:\d\d:\d\d) - \xc9tape de la reconstruction : (.+?) \xe0 (\d+) ms\.\s*$")
WRAP = 1 << 32


def since(later, earlier):
    """Milliseconds from one tick to a later one (the tick wraps after 49.7 days)."""
    return (later - earlier) % WRAP


def read_acquisitions(lines):
    """Acquisitions as dicts: step name -> tick, plus the clock time of the first step."""
    acquisitions = []
    current = None
    for line in lines:
        m = STEP_LINE.match(line.rstrip("\r\n"))
        if not m or m.group(2) not in ORDER:
            continue
        clock, name, tick = m.group(1), m.group(2), int(m.group(3))
        # A new acquisition starts with "début", or with any step that does not come
        # after the last one seen (a plate rebuilt without the entry, a restarted log).
        if current is None or name == "début" or name in current["ticks"] or \
                ORDER[name] <= max(ORDER[n] for n in current["ticks"]):
            current = {"clock": clock, "ticks": {}}
            acquisitions.append(current)
        current["ticks"][name] = tick
    return acquisitions


def read_socket_log(lines):
    """Connections as dicts: accept tick, tick of the last byte, close tick (None if
    unknown) and bytes. The file holds the latest connection; a copy kept while it was
    written (tail -F) holds them all, one after the other."""
    connections = []
    current = None
    for line in lines:
        line = line.rstrip("\r\n")
        m = re.match(r"^Tick count at accept : (\d+)$", line)
        if m:
            current = {"accept": int(m.group(1)), "last": None, "close": None, "bytes": 0}
            connections.append(current)
            continue
        if current is None:
            continue
        m = re.match(r"^(\d+) - (\d+) bytes received from socket #", line)
        if m and int(m.group(2)) > 0:
            current["last"] = (current["accept"] + int(m.group(1))) % WRAP
            current["bytes"] += int(m.group(2))
            continue
        m = re.match(r"^Tick count at close : (\d+)$", line)
        if m:
            current["close"] = int(m.group(1))
    return connections


def start_tick(acq):
    return acq["ticks"].get("début", acq["ticks"].get("correction"))


def match_transfers(acquisitions, connections, window=600000):
    """For each acquisition the connection closed last before it started (within
    `window` ms), or None; a connection serves one acquisition at most."""
    owners = [None] * len(acquisitions)
    used = set()
    for i, acq in enumerate(acquisitions):
        start = start_tick(acq)
        if start is None:
            continue
        best = None
        for k, c in enumerate(connections):
            if k in used or c["close"] is None or since(start, c["close"]) >= window:
                continue
            if best is None or since(start, c["close"]) < since(start, connections[best]["close"]):
                best = k
        if best is not None:
            used.add(best)
            owners[i] = connections[best]
    return owners


def durations(acq, transfer):
    """Rows (label, milliseconds or None) for one acquisition."""
    ticks = acq["ticks"]
    rows = []
    start = start_tick(acq)
    if transfer and transfer["last"] is not None:
        rows.append(("transfer", since(transfer["last"], transfer["accept"])))
        rows.append(("close", since(transfer["close"], transfer["last"])))
        rows.append(("check", since(start, transfer["close"])))
        last_byte = transfer["last"]
    else:
        rows += [("transfer", None), ("close", None), ("check", None)]
        last_byte = None
    present = [name for name, _ in STEPS if name in ticks]
    library = 0
    for name, label in STEPS:
        if label is None:
            continue
        value = None
        if name in ticks:
            later = [n for n in present if ORDER[n] > ORDER[name]]
            if later:
                value = since(ticks[later[0]], ticks[name])
        rows.append((label, value))
        if name in LIBRARY_STEPS and value is not None:
            library += value
    end = ticks.get("fin")
    after = since(end, last_byte) if end is not None and last_byte is not None else None
    rows.append(("after the last byte", after))
    rows.append(("library's time", library if "correction" in ticks else None))
    rows.append(("Orvaq's own time", after - library if after is not None else None))
    return rows


def main(argv):
    if len(argv) < 2 or argv[1] in ("-h", "--help"):
        sys.stdout.write(__doc__)
        return 0 if len(argv) >= 2 else 2
    with open(argv[1], encoding="latin-1", newline="") as f:
        acquisitions = read_acquisitions(f.read().splitlines())
    connections = []
    if len(argv) > 2:
        with open(argv[2], encoding="latin-1", newline="") as f:
            connections = read_socket_log(f.read().splitlines())
    if not acquisitions:
        print("no acquisition in %s" % argv[1])
        return 1
    transfers = match_transfers(acquisitions, connections)
    table = [durations(acq, t) for acq, t in zip(acquisitions, transfers)]
    width = max(len(label) for label, _ in table[0]) + 2
    print("%-*s" % (width, "acquisition (ms)") + "".join("%12s" % a["clock"] for a in acquisitions))
    print("%-*s" % (width, "bytes received") + "".join(
        "%12s" % (t["bytes"] if t else "-") for t in transfers))
    for r, (label, _) in enumerate(table[0]):
        print("%-*s" % (width, label) + "".join(
            "%12s" % ("-" if rows[r][1] is None else rows[r][1]) for rows in table))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
