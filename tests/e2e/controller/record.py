#!/usr/bin/env python3
# Questions to the simulator's exchange record (one JSON object a line), polled until
# they hold or their time runs out, so the lab test never depends on exact timing.
#   record.py RECORD wait-body FILE BODY-FILE SINCE_MS TIMEOUT_S  -> prints the entry's t
#   record.py RECORD wait-prm BODY SINCE_MS TIMEOUT_S             -> prints the entry's t
#   record.py RECORD count-prm BODY SINCE_MS                      -> prints the count
#   record.py RECORD times-prm BODY SINCE_MS COUNT TIMEOUT_S      -> prints COUNT times
#   record.py RECORD last-t                                       -> t of the last entry
#   record.py RECORD wait-frames SINCE_MS COUNT TIMEOUT_S         -> t of the COUNTth frame
#   record.py RECORD wait-image OUTCOME SINCE_MS TIMEOUT_S        -> t of the first image
#       delivery whose outcome starts with OUTCOME ("sent", "stalled", ...)
#   record.py RECORD wait-held SINCE_MS TIMEOUT_S                 -> t of the first reservation
#       or refresh ("ready=1" to lumeq2.res, "reload=" to lumeq2.prm) the scanner granted
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
    elif what == "wait-image":
        def images():
            return [e for e in entries(path)
                    if e.get("kind") == "image" and e.get("t", 0) >= int(a[1])
                    and e.get("outcome", "").startswith(a[0])]
        found = wait(images, float(a[2]))
    elif what == "last-t":
        e = entries(path)
        print(e[-1]["t"] if e else 0)
        return 0
    else:
        return 2
    if not found:
        return 1
    print(found[0]["t"])
    return 0

sys.exit(main())
