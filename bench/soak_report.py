#!/usr/bin/env python3
"""Turns the soak's test logs into its table.

    soak_report.py SOAK_MD LOG...

Each LOG is one test program's output: its "figure name value" lines, its last
"name: N passed, M failed" line and the "exit N" line that scripts/soak.sh adds. Prints the
table and writes it to SOAK_MD with the date and the machine. Exits with 1 when anything was
lost (a crash, a worker left behind, a target left hidden, an untrue caption) or a test did
not finish, and prints a last line that sums it up.
"""

import collections
import datetime
import re
import sys

from report import machine

LOSSES = [
    ("crashes", "Crashes", "the program ended other than with exit code 0 when closed, did "
     "not end, stopped running, or showed an error box"),
    ("workers_left", "Workers left behind", "threads of the program above its idle count "
     "once its worker was stopped"),
    ("targets_hidden", "Targets left hidden", "target windows hidden and not shown again "
     "after a stop or a close"),
    ("untrue_captions", "Untrue captions", "11 s or more after the last press, the button "
     "read Stop with no worker alive, or Random while the target still moved"),
]

USAGE = [
    ("private_bytes", "Private bytes", lambda v: "%.0f KiB" % (v / 1024)),
    ("handles", "Handles", lambda v: "%.0f" % v),
    ("gdi_objects", "GDI objects", lambda v: "%.0f" % v),
    ("user_objects", "USER objects", lambda v: "%.0f" % v),
]


def read_log(path):
    figures = collections.defaultdict(list)
    result = None
    status = None
    for line in open(path, errors="replace"):
        parts = line.split()
        if len(parts) == 3 and parts[0] == "figure":
            figures[parts[1]].append(float(parts[2]))
        match = re.match(r"^(\S+): (\d+) passed, (\d+) failed$", line.strip())
        if match:
            result = (match.group(1), int(match.group(2)), int(match.group(3)))
        match = re.match(r"^exit (\d+)$", line.strip())
        if match:
            status = int(match.group(1))
    return figures, result, status


def main():
    soak_path = sys.argv[1]
    figures = collections.defaultdict(list)
    failed_checks = 0
    unfinished = []
    for path in sys.argv[2:]:
        log_figures, result, status = read_log(path)
        for name, values in log_figures.items():
            figures[name].extend(values)
        if result is None:
            unfinished.append("%s (exit %s)" % (path, status))
        else:
            failed_checks += result[2]

    def total(name):
        return sum(figures.get(name, [0]))

    rows = [
        ("Presses of the wide button", "%.0f" % total("presses")),
        ("Closes of the program while a window jumps", "%.0f" % total("closes")),
        ("Minutes of the long run", "%.1f" % total("minutes")),
    ]
    for key, label, _ in LOSSES:
        rows.append((label, "%.0f" % total(key)))
    stops = figures.get("stop_to_end_seconds", [])
    rows.append(("Longest time from Stop to the worker's end, of %d stops" % len(stops),
                 "%.2f s" % max(stops) if stops else "none measured"))
    for key, label, show in USAGE:
        values = [figures.get("long_run_%s_%s" % (when, key)) for when in
                  ("start", "settled", "end")]
        if not all(values):
            rows.append(("%s: long run start / after 1 min / end" % label, "not measured"))
        elif not any(v[0] for v in values):
            rows.append(("%s: long run start / after 1 min / end" % label,
                         "not reported by the system"))
        else:
            rows.append(("%s: long run start / after 1 min / end" % label,
                         " / ".join(show(v[0]) for v in values)))
    rows.append(("Failed checks, losses among them", "%d" % failed_checks))

    table = "| Figure | Value |\n|---|---|\n" + "".join(
        "| %s | %s |\n" % row for row in rows)
    lost = {key: total(key) for key, _, _ in LOSSES}
    summary = "soak: %.0f lost (%s)%s" % (
        sum(lost.values()),
        ", ".join("%.0f %s" % (lost[key], label.lower()) for key, label, _ in LOSSES),
        "; unfinished: " + ", ".join(unfinished) if unfinished else "")

    print(table, end="")
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    with open(soak_path, "w") as out:
        out.write("# Soak results\n\n")
        out.write("Written by `scripts/soak.sh` on %s.\n\n" % now)
        out.write("Machine: %s.\n\n" % machine())
        out.write(table)
        out.write("\n")
        for _, label, meaning in LOSSES:
            out.write("- %s: %s.\n" % (label, meaning))
        out.write("\n%s\n" % summary)
    print(summary)
    return 1 if sum(lost.values()) or unfinished else 0


if __name__ == "__main__":
    sys.exit(main())
