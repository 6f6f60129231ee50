#!/usr/bin/env python3
# The soak's two pieces of Python: the seeded plan (which fault, when, for every plate) and
# the closing report, drawn from the plates the soak asked for, the images folders, the
# simulator's exchange record and the stations' logs. The definitions counted are those of
# tools/soak.sh's header.
#   soak_report.py plan SEED PLATES                 -> one plate a line (see plan())
#   soak_report.py nfo NFO_FILE                     -> "name<TAB>id<TAB>raw path" of one .NFO
#   soak_report.py report OUT_DIR RECORD STATIONS   -> the report on stdout; exit 1 when any
#       of lost, misattributed, two holders, stuck or crashes is not 0
import hashlib
import json
import os
import random
import re
import sys

# The faults, by the moment they are armed: "pre" before the reservation is pressed, "img"
# just before the plate is scanned (the simulator applies image faults to the next transfer).
# Weights: about half the plates meet a fault.
FAULTS = [
    ("none", 10),
    ("stall", 2),        # the transfer stops until the station gives up (its watchdog)
    ("slow", 1),         # the transfer pauses a few seconds, well under the watchdog
    ("cut", 2),          # the transfer ends early
    ("reset", 1),        # connection accepted, then reset at once
    ("refuse", 1),       # no image connection at all
    ("corrupt", 2),      # one line number corrupted in this transfer
    ("forbidden", 2),    # a burst of 403 answers
    ("silent", 1),       # a few requests never answered
    ("quiet", 1),        # a silent period: every request unanswered for a while
    ("frame", 2),        # malformed status frames
    ("vanish", 1),       # no frames and no answers for a while, then back
]
FRAME_KINDS = ["length", "magic", "version", "state0", "serial", "resa"]


def plan(seed, plates):
    """One line a plate: index phase fault-args pause-s restart size plate-seed.
    phase is pre, img or none; fault-args the words after `fault` (comma-joined), pause-s
    how long a period fault lasts (0: none), restart 1 when the station is closed and started
    again before the plate."""
    rng = random.Random(seed)
    kinds = [k for k, w in FAULTS for _ in range(w)]
    for i in range(1, plates + 1):
        kind = rng.choice(kinds)
        pause = 0
        if kind == "none":
            phase, args = "none", "-"
        elif kind == "stall":
            phase, args = "img", "stall=%d:-1" % rng.randrange(4096, 4000000)
        elif kind == "slow":
            phase, args = "img", "stall=%d:%d" % (rng.randrange(4096, 4000000), rng.randrange(1000, 6000))
        elif kind == "cut":
            phase, args = "img", "truncate=%d" % rng.randrange(0, 4000000)
        elif kind == "reset":
            phase, args = "img", "reset=1"
        elif kind == "refuse":
            phase, args = "img", "refuse=1"
        elif kind == "corrupt":
            phase, args = "img", "corrupt_line=%d" % rng.randrange(1, 400)
        elif kind == "forbidden":
            phase, args = "pre", "forbidden=%d" % rng.randrange(1, 5)
        elif kind == "silent":
            phase, args = "pre", "silent=%d" % rng.randrange(1, 3)
        elif kind == "quiet":
            phase, args, pause = "pre", "silent=-1", rng.randrange(3, 20)
        elif kind == "frame":
            phase, args = "pre", "frame=%s:%d" % (rng.choice(FRAME_KINDS), rng.randrange(2, 8))
        else:  # vanish
            phase, args, pause = "pre", "vanish=1,silent=-1", rng.randrange(5, 30)
        restart = 1 if rng.random() < 0.06 else 0
        size = rng.choice([0, 0, 0, 1])
        plate_seed = (seed * 100003 + i * 7919) % 2147483647 or 1
        print(i, phase, args, pause, restart, size, plate_seed)


def fault_kind(args):
    """The plan's name of a fault from the words armed."""
    if args == "-":
        return "none"
    if args.startswith("vanish"):
        return "vanish"
    if args.startswith("stall"):
        return "stall" if args.endswith(":-1") else "slow"
    if args.startswith("silent"):
        return "quiet" if args == "silent=-1" else "silent"
    return {"truncate": "cut", "corrupt_line": "corrupt"}.get(args.split("=")[0], args.split("=")[0])


def read_nfo(path):
    data = open(path, "rb").read()
    if data[:2] != b"\xff\xfe":
        return None
    keys, section = {}, ""
    for line in data[2:].decode("utf-16-le", "replace").split("\r\n"):
        if line.startswith("["):
            section = line
        elif "=" in line:
            k, v = line.split("=", 1)
            keys[section + k] = v
    return keys


def local(p):  # Z:\x\y -> /x/y
    return p[2:].replace("\\", "/") if p[:2].upper() == "Z:" else p


def sha(path):
    try:
        return hashlib.sha256(open(path, "rb").read()).hexdigest()
    except OSError:
        return None


def records(path):
    out = []
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                try:
                    out.append(json.loads(line))
                except ValueError:
                    pass
    except OSError:
        pass
    return out


def check_holders(entries):
    """Every moment two terminals held the scanner, by the scanner's answers and frames."""
    holder, bad = 0, []
    for e in entries:
        if e.get("kind") == "frame":
            shown = e.get("resaTerminal", 0)
            if shown > 10:
                continue
            if shown and holder and shown != holder:
                bad.append("t=%d: frame shows terminal %d while %d holds" % (e["t"], shown, holder))
            holder = shown
        elif e.get("kind") == "http" and e.get("request") == "POST /lumeq2.res HTTP/1.0" and e.get("status") == 200:
            body = e.get("body", "")
            term = re.search(r"(?:^|\n)term=(\d+)", body)
            ready = re.search(r"(?:^|\n)ready=(\d+)", body)
            if not term or not ready or not 1 <= int(term.group(1)) <= 10:
                continue
            term, ready = int(term.group(1)), int(ready.group(1))
            if ready == 1:
                if holder and holder != term:
                    bad.append("t=%d: reservation of terminal %d granted while %d holds" % (e["t"], term, holder))
                holder = term
            elif ready == 0 and holder == term:
                holder = 0
    return bad


def report(out, record_path, stations):
    plates = [json.loads(l) for l in open(os.path.join(out, "plates.jsonl")) if l.strip()]
    events = [json.loads(l) for l in open(os.path.join(out, "events.jsonl")) if l.strip()] \
        if os.path.exists(os.path.join(out, "events.jsonl")) else []
    run = json.load(open(os.path.join(out, "run.json")))
    entries = records(record_path)
    scanned = [p for p in plates if p.get("scanned")]
    by_sha = {p["sha256"]: p for p in scanned}

    # Every .NFO in every station's images folder, with its RAW's checksum.
    outputs, unknown, broken = [], [], []
    for ws in range(1, stations + 1):
        folder = os.path.join(out, "ws%d" % ws, "images")
        for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            if not name.upper().endswith(".NFO"):
                continue
            keys = read_nfo(os.path.join(folder, name))
            if keys is None or "[ACQUISITION]File16" not in keys:
                broken.append("ws%d/%s" % (ws, name))
                continue
            digest = sha(local(keys["[ACQUISITION]File16"]))
            o = {"ws": ws, "nfo": name, "sha": digest, "name": keys.get("[PATIENT]Name", ""),
                 "id": keys.get("[PATIENT]ID", "")}
            outputs.append(o)
            if digest not in by_sha:
                unknown.append(o)

    # The image deliveries the record holds, each given to the plate scanned last before it.
    scans = sorted(p["t_scan"] for p in scanned if p.get("t_scan") is not None)
    # A "read_nok" (the station refused what came) goes the same way: the plate stays kept.
    def owner_of(t):
        owner = None
        for p in scanned:
            if p.get("t_scan") is not None and p["t_scan"] <= t:
                owner = p["plate"]
        return owner
    deliveries, refusals = {}, {}
    for e in entries:
        if e.get("kind") == "image":
            owner = owner_of(e["t"])
            if owner is not None:
                deliveries.setdefault(owner, []).append(e.get("outcome", ""))
        elif e.get("kind") == "http" and e.get("request") == "POST /lumeq2.prm HTTP/1.0" and e.get("body") == "read_nok":
            owner = owner_of(e["t"])
            if owner is not None:
                refusals[owner] = refusals.get(owner, 0) + 1

    delivered = once = right = misattributed = recovered = kept = lost = 0
    lines = []
    for p in scanned:
        got = [o for o in outputs if o["sha"] == p["sha256"]]
        tries = deliveries.get(p["plate"], [])
        failed_tries = [t for t in tries if t != "sent"] + ["read_nok"] * refusals.get(p["plate"], 0)
        if failed_tries:
            kept += 1
        if got:
            delivered += 1
            if len(got) == 1:
                once += 1
            good = [o for o in got if o["ws"] == p["ws"] and o["name"] == p["patient"] and o["id"] == p["patient_id"]]
            if good and len(good) == len(got):
                right += 1
            else:
                misattributed += 1
                lines.append("MISATTRIBUTED plate %d (ws%d, %s/%s): %s" % (
                    p["plate"], p["ws"], p["patient"], p["patient_id"],
                    "; ".join("ws%d %s %s/%s" % (o["ws"], o["nfo"], o["name"], o["id"]) for o in got)))
            if failed_tries:
                recovered += 1
        else:
            lost += 1
            lines.append("LOST plate %d (ws%d, %s, seed %d, fault %s): deliveries %s" % (
                p["plate"], p["ws"], p["patient"], p["seed"], p["fault"], tries or "none"))
        if len(got) > 1:
            lines.append("TWICE plate %d: %s" % (p["plate"], ", ".join("ws%d/%s" % (o["ws"], o["nfo"]) for o in got)))

    holders = check_holders(entries)
    stuck = [e for e in events if e.get("event") == "stuck"]
    crashes = [e for e in events if e.get("event") == "crash"]
    faults = {}
    for p in plates:
        faults[fault_kind(p["fault"])] = faults.get(fault_kind(p["fault"]), 0) + 1

    r = []
    r.append("Orvaq soak: %d station(s), seed %d, %d plate(s) asked, %s min limit" % (
        stations, run["seed"], run["plates"], run["minutes"]))
    r.append("duration              %d s (%s)" % (run.get("seconds", 0), run.get("stopped", "?")))
    r.append("faults armed          " + ", ".join("%s %d" % kv for kv in sorted(faults.items())))
    r.append("station restarts      %d" % sum(1 for p in plates if p.get("restart")))
    r.append("plates scanned        %d" % len(scanned))
    r.append("delivered             %d" % delivered)
    r.append("delivered once        %d" % once)
    r.append("right station/patient %d" % right)
    r.append("kept and recovered    %d of %d kept on the scanner (a failed transfer or a read_nok)" % (recovered, kept))
    r.append("image transfers       %d (%d failed, %d refused with read_nok)" % (
        sum(len(v) for v in deliveries.values()), sum(1 for v in deliveries.values() for t in v if t != "sent"),
        sum(refusals.values())))
    r.append("outputs of no plate   %d" % len(unknown))
    r.append("unreadable .NFO       %d" % len(broken))
    r.append("lost                  %d" % lost)
    r.append("misattributed         %d" % misattributed)
    r.append("two holders           %d" % len(holders))
    r.append("stuck reservations    %d" % len(stuck))
    r.append("Orvaq crashes         %d" % len(crashes))
    r.extend(lines)
    r.extend("UNKNOWN output ws%d/%s (%s/%s)" % (o["ws"], o["nfo"], o["name"], o["id"]) for o in unknown)
    r.extend("UNREADABLE %s" % b for b in broken)
    r.extend("TWO HOLDERS " + h for h in holders)
    r.extend("STUCK %s" % json.dumps(e) for e in stuck)
    r.extend("CRASH %s" % json.dumps(e) for e in crashes)
    print("\n".join(r))
    bad = lost + misattributed + len(holders) + len(stuck) + len(crashes)
    return 1 if bad else 0


def main():
    what, a = sys.argv[1], sys.argv[2:]
    if what == "plan":
        plan(int(a[0]), int(a[1]))
        return 0
    if what == "nfo":
        keys = read_nfo(a[0])
        if keys is None:
            return 1
        print("%s\t%s\t%s" % (keys.get("[PATIENT]Name", ""), keys.get("[PATIENT]ID", ""),
                              local(keys.get("[ACQUISITION]File16", ""))))
        return 0
    if what == "report":
        return report(a[0], a[1], int(a[2]))
    return 2


sys.exit(main())
