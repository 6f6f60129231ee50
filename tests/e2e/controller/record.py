#!/usr/bin/env python3
# Questions to the simulator's exchange record (one JSON object a line), polled until
# they hold or their time runs out, so the lab test never depends on exact timing.
#   record.py RECORD wait-body FILE BODY-FILE SINCE_MS TIMEOUT_S  -> prints the entry's t
#   record.py RECORD wait-prm BODY SINCE_MS TIMEOUT_S             -> prints the entry's t
#   record.py RECORD count-prm BODY SINCE_MS                      -> prints the count
#   record.py RECORD times-prm BODY SINCE_MS COUNT TIMEOUT_S      -> prints COUNT times
#   record.py RECORD last-t                                       -> just after the last entry
#       (its t + 1), so that "since" it leaves out everything already recorded
#   record.py RECORD wait-frames SINCE_MS COUNT TIMEOUT_S         -> t of the COUNTth frame
#   record.py RECORD wait-http SINCE_MS COUNT TIMEOUT_S           -> t of the COUNTth HTTP request
#   record.py RECORD dump SINCE_MS                                -> one short line an HTTP
#       request or image delivery (frames left out), for reading a failure
#   record.py RECORD wait-image OUTCOME SINCE_MS TIMEOUT_S        -> t of the first image
#       delivery whose outcome starts with OUTCOME ("sent", "stalled", ...)
#   record.py RECORD wait-held SINCE_MS TIMEOUT_S                 -> t of the first reservation
#       or refresh ("ready=1" to lumeq2.res, "reload=" to lumeq2.prm) the scanner granted
#   record.py RECORD res-list SINCE_MS                            -> one line per reservation
#       request ("t ip term ready status") to lumeq2.res since SINCE_MS
#   record.py RECORD prm-list BODY SINCE_MS                       -> "t ip status" per request
#       BODY to lumeq2.prm since SINCE_MS
#   record.py RECORD image-list SINCE_MS                          -> "t ip bytes outcome" per
#       image delivery since SINCE_MS
#   record.py RECORD check-holders                                -> walks the whole record:
#       prints every moment two terminals held the scanner at once; exit 1 if any
import json, sys, time

def entries(path):
    out = []
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                try:
                    out.append(json.loads(line))
                except ValueError:
                    pass  # a line being written
    except OSError:
        pass
    return out

def http(path, device, body, since):
    return [e for e in entries(path)
            if e.get("kind") == "http" and e.get("request") == "POST /%s HTTP/1.0" % device
            and e.get("body") == body and e.get("t", 0) >= since]

def wait(fn, timeout):
    end = time.time() + timeout
    while True:
        found = fn()
        if found or time.time() > end:
            return found
        time.sleep(0.5)

def main():
    path, what = sys.argv[1], sys.argv[2]
    a = sys.argv[3:]
    if what == "wait-body":
        body = open(a[1], "rb").read().decode("latin-1")
        found = wait(lambda: http(path, a[0], body, int(a[2])), float(a[3]))
    elif what == "wait-prm":
        found = wait(lambda: http(path, "lumeq2.prm", a[0], int(a[1])), float(a[2]))
    elif what == "count-prm":
        print(len(http(path, "lumeq2.prm", a[0], int(a[1]))))
        return 0
    elif what == "times-prm":
        n = int(a[2])
        found = wait(lambda: len(http(path, "lumeq2.prm", a[0], int(a[1]))) >= n, float(a[3]))
        if not found:
            return 1
        print(" ".join(str(e["t"]) for e in http(path, "lumeq2.prm", a[0], int(a[1]))[:n]))
        return 0
    elif what == "wait-frames":
        n = int(a[1])
        def frames():
            f = [e for e in entries(path) if e.get("kind") == "frame" and e.get("t", 0) >= int(a[0])]
            return f[n - 1:n]
        found = wait(frames, float(a[2]))
    elif what == "wait-held":
        def held():
            return [e for e in entries(path)
                    if e.get("kind") == "http" and e.get("status") == 200 and e.get("t", 0) >= int(a[0])
                    and ((e.get("request") == "POST /lumeq2.res HTTP/1.0" and e.get("body", "").startswith("ready=1"))
                         or (e.get("request") == "POST /lumeq2.prm HTTP/1.0" and e.get("body", "").startswith("reload=")))]
        found = wait(held, float(a[1]))
    elif what == "dump":
        for e in entries(path):
            if e.get("t", 0) < int(a[0]):
                continue
            if e.get("kind") == "http":
                print(e["t"], e.get("from", ""), e.get("request", ""), repr(e.get("body", "")[:48]),
                      e.get("status"), repr(e.get("answer", "")[:40]))
            elif e.get("kind") == "image":
                print(e["t"], "image", e.get("to", ""), e.get("bytes"), e.get("outcome"))
        return 0
    elif what == "wait-http":
        n = int(a[1])
        def requests():
            r = [e for e in entries(path) if e.get("kind") == "http" and e.get("t", 0) >= int(a[0])]
            return r[n - 1:n]
        found = wait(requests, float(a[2]))
    elif what == "wait-image":
        def images():
            return [e for e in entries(path)
                    if e.get("kind") == "image" and e.get("t", 0) >= int(a[1])
                    and e.get("outcome", "").startswith(a[0])]
        found = wait(images, float(a[2]))
    # --- reservation holders (two-station lab test) -------------------------------------
    elif what == "prm-list":
        for e in http(path, "lumeq2.prm", a[0], int(a[1])):
            print(e["t"], e.get("from", "").split(":")[0], e.get("status"))
        return 0
    elif what == "image-list":
        for e in entries(path):
            if e.get("kind") == "image" and e.get("t", 0) >= int(a[0]):
                print(e["t"], e.get("to", "").split(":")[0], e.get("bytes"), e.get("outcome", "").replace(" ", "_"))
        return 0
    elif what in ("res-list", "check-holders"):
        import re
        def res_requests(since):
            for e in entries(path):
                if e.get("t", 0) < since:
                    continue
                if e.get("kind") == "http" and e.get("request") == "POST /lumeq2.res HTTP/1.0":
                    body = e.get("body", "")
                    term = re.search(r"(?:^|\n)term=(\d+)", body)
                    ready = re.search(r"(?:^|\n)ready=(\d+)", body)
                    yield e, (int(term.group(1)) if term else -1), (int(ready.group(1)) if ready else -1)
                elif e.get("kind") == "frame":
                    yield e, None, None
        if what == "res-list":
            for e, term, ready in res_requests(int(a[0])):
                if term is not None:
                    print(e["t"], e.get("from", "").split(":")[0], term, ready, e.get("status"))
            return 0
        # The holder as the scanner's answers make it: a granted "ready=1" takes the
        # scanner, a granted "ready=0" from the holder lets it go, and every frame states
        # the holder outright (a reservation that ran out ends there). The super-user
        # (terminal 11) reserves beside the stations and is left out.
        holder, bad = 0, 0
        for e, term, ready in res_requests(0):
            if term is None:
                shown = e.get("resaTerminal", 0)
                if shown > 10:
                    continue
                if shown and holder and shown != holder:
                    print("t=%d: frame shows terminal %d while %d holds" % (e["t"], shown, holder))
                    bad += 1
                holder = shown
            elif e.get("status") == 200 and 1 <= term <= 10:
                if ready == 1:
                    if holder and holder != term:
                        print("t=%d: reservation of terminal %d granted while %d holds" % (e["t"], term, holder))
                        bad += 1
                    holder = term
                elif ready == 0 and holder == term:
                    holder = 0
        return 1 if bad else 0
    # --- end of reservation holders ---------------------------------------------------
    elif what == "last-t":
        e = entries(path)
        print(e[-1]["t"] + 1 if e else 0)
        return 0
    else:
        return 2
    if not found:
        return 1
    print(found[0]["t"])
    return 0

sys.exit(main())
