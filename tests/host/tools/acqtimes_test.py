#!/usr/bin/env python3
"""tools/acqtimes.py on a kept excerpt of real logs: Orvaq's log with two acquisitions of
a 26 MiB plate (before and after the adjustments moved to the 8-bit picture, the log
restarted after each acknowledgement) and an empty plate, and the socket log of the two
transfers as kept while it was written. Each row says what it expected.
    acqtimes_test.py TOOL"""
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
tool = sys.argv[1]
log = os.path.join(here, "acqtimes_orvaq.txt")
sockets = os.path.join(here, "acqtimes_socket.log")


def table(*files):
    run = subprocess.run([sys.executable, tool] + list(files), capture_output=True, text=True)
    rows = {}
    for line in run.stdout.splitlines()[1:]:
        # A label of words, then one column per acquisition (three here).
        cells = line.split()
        rows[" ".join(cells[:-3])] = cells[-3:]
    return run.returncode, rows


failures = 0


def expect(what, actual, expected):
    global failures
    if actual != expected:
        failures += 1
        print("FAILED - %s: expected %r, got %r" % (what, expected, actual))
    else:
        print("ok - %s" % what)


code, rows = table(log, sockets)
expect("exit code", code, 0)
cases = [
    # row, (first acquisition, second, empty plate)
    ("bytes received", ["27110436", "27110436", "-"]),
    ("transfer", ["2779", "2762", "-"]),
    ("close", ["205", "3", "-"]),
    ("check", ["24", "47", "-"]),
    ("library load", ["128", "60", "41"]),
    ("correction", ["307", "584", "255"]),
    ("noise filter", ["705", "641", "-"]),
    ("raw copy", ["30", "15", "14"]),
    ("bitmap", ["107", "32", "-"]),
    ("thumbnail", ["1247", "236", "-"]),
    ("adjustments", ["2908", "5", "-"]),
    ("mark", ["1221", "27", "-"]),
    ("files", ["99", "88", "42"]),
    ("after the last byte", ["6981", "1738", "-"]),
    ("library's time", ["1012", "1225", "255"]),
    ("Orvaq's own time", ["5969", "513", "-"]),
]
for i, (row, expected) in enumerate(cases):
    expect("row %02d %s" % (i, row), rows.get(row), expected)

# Without the socket log nothing is known before the reconstruction.
code, rows = table(log)
expect("no socket log: transfer", rows.get("transfer"), ["-", "-", "-"])
expect("no socket log: own time", rows.get("Orvaq's own time"), ["-", "-", "-"])
expect("no socket log: correction still there", rows.get("correction"), ["307", "584", "255"])

# A log without any reconstruction step says so and fails.
code, rows = table(sockets)
expect("no acquisition: exit code", code, 1)

print("%d failure(s)" % failures)
sys.exit(1 if failures else 0)
