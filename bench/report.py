#!/usr/bin/env python3
"""Turns the bench's raw figures into the results table.

    report.py FIGURES MICRO_JSON RESULTS_MD

FIGURES holds lines of "figure program value", one per measurement (the driver's output and
the sizes); MICRO_JSON is Google Benchmark's JSON output. Prints the table and writes it to
RESULTS_MD with the date, the machine and notes on the figures.
"""

import collections
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys


def read_figures(path):
    values = collections.defaultdict(list)
    for line in open(path):
        parts = line.split()
        if len(parts) == 3:
            try:
                values[(parts[0], parts[1])].append(float(parts[2]))
            except ValueError:
                pass
    return values


def read_micro(path):
    """Median real time per call, in ns, by benchmark name."""
    data = json.load(open(path))
    times = collections.defaultdict(list)
    medians = {}
    for run in data.get("benchmarks", []):
        unit = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[run.get("time_unit", "ns")]
        name = run.get("run_name", run["name"])
        if run.get("run_type") == "aggregate":
            if run.get("aggregate_name") == "median":
                medians[name] = run["real_time"] * unit
        else:
            times[name].append(run["real_time"] * unit)
    for name, samples in times.items():
        medians.setdefault(name, statistics.median(samples))
    return medians


def command_output(command):
    try:
        return subprocess.run(command, capture_output=True, text=True, timeout=30).stdout.strip()
    except (OSError, subprocess.SubprocessError):
        return ""


def machine():
    cpu = ""
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    memory = ""
    try:
        for line in open("/proc/meminfo"):
            if line.startswith("MemTotal"):
                memory = "%.0f GiB" % (int(line.split()[1]) / 1024 / 1024)
    except OSError:
        pass
    wine = command_output([os.environ.get("JUMPER_WINE", "wine"), "--version"])
    gcc = command_output(["x86_64-w64-mingw32-g++-posix", "-dumpfullversion"])
    return "%s, %s %s, %d cores, %s; %s; MinGW-w64 GCC %s" % (
        cpu or platform.processor(), platform.system(), platform.release(), os.cpu_count(),
        memory, wine, gcc)


def main():
    figures_path, micro_path, results_path = sys.argv[1:4]
    values = read_figures(figures_path)
    micro = read_micro(micro_path)

    def median(figure, program):
        samples = values.get((figure, program))
        return statistics.median(samples) if samples else None

    def count(figure, program):
        return len(values.get((figure, program), []))

    rows = []  # figure, measured, baseline, baseline label, ratio, goal, met

    def row(label, measured, baseline, baseline_label, unit, goal_text="—", met=None,
            ratio=True):
        if measured is None or baseline is None:
            rows.append((label, "not measured", "", baseline_label, "", goal_text, "no"))
            return
        quotient = measured / baseline if ratio and baseline else None
        rows.append((label, "%s %s" % (fmt(measured), unit), "%s %s" % (fmt(baseline), unit),
                     baseline_label, "%.2f" % quotient if quotient is not None else "—",
                     goal_text, "—" if met is None else ("yes" if met(measured, quotient) else "no")))

    def within(limit):
        return lambda measured, quotient: quotient is not None and quotient <= limit

    runs = count("startup_ms", "jumper")
    row("Start-up to main window shown, list filled (median of %d)" % runs,
        median("startup_ms", "jumper"), median("startup_ms", "minimal"),
        "minimal Win32 program, same controls", "ms", "ratio ≤ 1.15", within(1.15))
    row("Working set after start-up", median("working_set_kib", "jumper"),
        median("working_set_kib", "minimal"), "minimal program", "KiB", "ratio ≤ 1.15",
        within(1.15))
    row("Private bytes after start-up", median("private_kib", "jumper"),
        median("private_kib", "minimal"), "minimal program", "KiB", "ratio ≤ 1.15",
        within(1.15))
    for windows in (50, 5000):
        figure = "refresh_ms_%d" % windows
        items = median("refresh_items_%d" % windows, "jumper")
        label = "Refresh, %d windows of ours (%s items listed)" % (
            windows, "%d" % items if items else "?")
        goal = ("ratio ≤ 1.5", within(1.5)) if windows == 5000 else ("—", None)
        row(label, median(figure, "jumper"), median(figure, "raw"),
            "EnumWindows + GetWindowTextA + IsWindowVisible in the driver, which owns the "
            "windows", "ms", goal[0], goal[1])
        row("  the same Refresh, against the enumeration from another process",
            median(figure, "jumper"), median(figure, "raw_other_process"),
            "same calls from a process that owns none of the windows, as jumper.exe is", "ms")
        row("  the same Refresh, against that enumeration plus the cloaked query",
            median(figure, "jumper"), median(figure, "other_cloaked"),
            "the line above, plus DwmGetWindowAttribute(DWMWA_CLOAKED), from dwmapi.dll "
            "loaded as jumper.exe loads it, for each window that passes the three calls", "ms")
        row("  the same Refresh, against that enumeration plus the cloaked query and the "
            "owner lookup", median(figure, "jumper"), median(figure, "other_cloaked_owner"),
            "the line above, plus GetWindowThreadProcessId for each window not cloaked: "
            "every call jumper.exe makes per window", "ms")
        row("  the same Refresh, against those calls plus filling a list",
            median(figure, "jumper"), median(figure, "other_cloaked_owner_fill"),
            "the line above, plus CB_RESETCONTENT and CB_ADDSTRING of as many titles into "
            "a drop-down list of the driver's", "ms")
        row("  the same Refresh, against a click that does nothing",
            median(figure, "jumper"), median(figure, "click_minimal"),
            "BM_CLICK on the minimal program's button", "ms")
    seconds = median("cpu_seconds", "bench") or 60
    for phase, goal in (("jumping", True), ("idle", False)):
        measured = median("cpu_%s_ms" % phase, "jumper")
        baseline = median("cpu_%s_ms" % phase, "minimal")
        share = lambda ms: None if ms is None else ms / (seconds * 1000) * 100  # noqa: E731
        placements = median("placements", "jumper") if phase == "jumping" else None
        label = "CPU of one core, %d s %s" % (seconds, phase)
        if placements is not None:
            label += " (%d placements)" % placements
        row(label, share(measured), share(baseline),
            "minimal program, idle in the same %d s" % seconds, "%",
            "< 0.05 %" if goal else "—",
            (lambda m, q: m < 0.05) if goal else None)
    for figure, bits in (("size_bytes", 64), ("size_bytes_32", 32)):
        row("Executable size, %d-bit" % bits, (median(figure, "jumper") or 0) / 1024 or None,
            (median(figure, "minimal") or 0) / 1024 or None,
            "%d-bit minimal.exe, same flags" % bits, "KiB", "< 200 KiB", lambda m, q: m < 200)
    for name, baseline, label in (("BM_Random", "BM_PlainGeneratorStep", "Random(5000)"),
                                  ("BM_RandomRange", "BM_PlainGeneratorStep",
                                   "RandomRange(300, 100)"),
                                  ("BM_StrToInt", "BM_Wcstol", "StrToInt, short numbers")):
        baseline_label = ("plain non-atomic generator step" if baseline == "BM_PlainGeneratorStep"
                          else "wcstol on the same texts")
        row("Host: %s per call" % label, micro.get(name), micro.get(baseline), baseline_label,
            "ns")

    header = ("Figure", "jumper.exe", "Baseline", "Baseline is", "Ratio", "Goal", "Met")
    table = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for label, measured, base, base_label, ratio, goal, met in rows:
        table.append("| %s | %s | %s | %s | %s | %s | %s |" % (
            label, measured, base, base_label, ratio, goal, met))
    text = "\n".join(table)
    print(text)

    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    with open(results_path, "w") as out:
        out.write("# Bench results\n\n")
        out.write("Written by `scripts/bench.sh` on %s.\n\n" % now)
        out.write("Machine: %s.\n\n" % machine())
        out.write("Under Wine every process (the driver, jumper.exe, the minimal program and "
                  "the wine server) is pinned to core 0 with `taskset -c 0`. Medians; start-up "
                  "runs alternate between the two programs.\n\n")
        out.write(text + "\n")
        notes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "NOTES.md")
        if os.path.exists(notes):
            out.write("\n" + open(notes).read())


def fmt(value):
    if value >= 100:
        return "%.0f" % value
    if value >= 10:
        return "%.1f" % value
    if value >= 0.1:
        return "%.2f" % value
    return "%.3f" % value


if __name__ == "__main__":
    main()
