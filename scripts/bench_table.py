#!/usr/bin/env python3
"""Prints the table of benchmark results that scripts/bench ends with.

Reads the JSON files that the Google Benchmark programs wrote (one per
program) and puts each measured figure beside its baseline and target.
Each benchmark reports its own medians in the counters measured, baseline
and ratio (see bench/host/bench_util.h).

Usage: bench_table.py RESULT.json... [--markdown]
"""
import json
import os
import sys
import time

# name prefix -> (what, unit, baseline text, kind, target)
# kind "max": measured must stay below target; "ratio_max": ratio at most
# target; "ratio_min": ratio at least target.
ROWS = [
    ("PassVsFloor/ezRSS", "Pass over 64 due shows, qln_ezRSS, 25-item feed (128 searches)",
     "ms", "bare libcurl loop, same requests", "ratio_max", 1.10),
    ("PassVsFloor/generic", "Pass over 64 due shows, qln_generic, 25-item feed (128 searches)",
     "ms", "bare libcurl loop, same requests", "ratio_max", 1.10),
    ("FeedWalkVsFeedparser", "Read + walk a 10,000-item RSS answer (TinyXML, seen test per item)",
     "ms", "Python feedparser, same bytes", "ratio_min", 20.0),
    ("SeenLoadSave", "Seen list of 100,000: LoadSeen + SaveSeen", "ms", "", "max", 150.0),
    ("SeenIsSeen", "Seen list of 100,000: IsSeen per call", "ns", "", "max", 1000.0),
    ("ShowsLoadSave", "shows.conf of 10,000: LoadShows + SaveShows", "ms", "", "max", 150.0),
    ("StartupToReady", "Start-up to \"Ready.\" (offscreen; 64 shows, 10,000 seen, all plugins)",
     "ms", "", "max", 300.0),
    ("PeakMemoryIdle", "Peak resident memory, idle after start-up (VmHWM)", "MB", "", "max", 60.0),
    ("WeekRequests", "Simulated week, windows + feed: requests per indexer per day",
     "", "today's behaviour, shows not linked", "ratio_max", 0.05),
    ("WeekRequests", "Simulated week, windows + feed: requests per indexer per day (Sonarr: 96)",
     "", "", "max", 96.0),
    ("WeekDelayMedian", "Simulated week: median delay, listed within a day of airing", "min", "", "max", 15.01),
    ("WeekDelayP95", "Simulated week: 95th percentile delay, listed within a day of airing", "min", "",
     "max", 30.01),
    ("WeekLateDelay", "Simulated week: longest delay, listed later than a day", "h", "", "max", 6.01),
    ("WeekMissedWrong", "Simulated week: episodes missed + wrong deliveries", "", "", "max", 1.0),
    ("FreeManyVsFew", "zfree with 100,000 live tracked blocks", "ns", "zfree with 10 live blocks",
     "ratio_max", 2.0),
]


def number(value):
    if value >= 100:
        return "%.0f" % value
    if value >= 10:
        return "%.1f" % value
    return "%.2f" % value


def load(paths):
    found = {}
    context = {}
    for path in paths:
        with open(path) as handle:
            data = json.load(handle)
        context = data.get("context", context)
        for entry in data.get("benchmarks", []):
            found[entry["name"]] = entry
    return found, context


def lookup(found, prefix):
    for name, entry in found.items():
        if name == prefix or name.startswith(prefix + "/"):
            return entry
    return None


def pair_ratio(found):
    """The tracker's free + allocation pair with 100,000 vs 10 live blocks."""
    few = found.get("FreeAllocPair/10")
    many = found.get("FreeAllocPair/100000")
    if not few or not many:
        return None
    return few["real_time"], many["real_time"]


def cpu_model():
    try:
        with open("/proc/cpuinfo") as handle:
            for line in handle:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def main(argv):
    markdown = "--markdown" in argv
    paths = [a for a in argv if not a.startswith("--")]
    found, context = load(paths)
    head = ["What", "Measured", "Baseline (same run)", "Ratio / target", "Met?"]
    rows = []
    for prefix, what, unit, baseline_text, kind, target in ROWS:
        entry = lookup(found, prefix)
        if entry is None or "measured" not in entry or entry.get("error_occurred"):
            reason = entry.get("error_message", "not run") if entry else "not run"
            rows.append([what, "-", "-", reason, "?"])
            continue
        measured = entry["measured"]
        baseline = entry.get("baseline", 0)
        ratio = entry.get("ratio", 0)
        shown = "%s %s" % (number(measured), unit)
        base = "%s %s (%s)" % (number(baseline), unit, baseline_text) if baseline_text else "-"
        if kind == "max":
            met = measured < target
            verdict = "< %s %s" % (number(target), unit)
            margin = "%.1fx under" % (target / measured) if measured > 0 else ""
            rows.append([what, shown, base, verdict, ("yes, " + margin) if met else "no"])
        elif kind == "ratio_max":
            met = ratio <= target
            rows.append([what, shown, base, "%.2fx / <= %.2fx" % (ratio, target), "yes" if met else "no"])
        else:
            met = ratio >= target
            rows.append([what, shown, base, "%.1fx faster / >= %.0fx" % (ratio, target),
                         ("yes, %.2fx the target" % (ratio / target)) if met else "no"])
        if prefix.startswith("PassVsFloor") and "guarded_ratio" in entry:
            rows.append(["  same requests through the host's guarded libcurl entries", "-", "-",
                         "%.2fx the bare loop" % entry["guarded_ratio"], "(info)"])
        if prefix.startswith("PassVsFloor") and "floor_plus_parse_ratio" in entry:
            rows.append(["  the bare loop plus TinyXML reading each answer once (no walk)", "-", "-",
                         "%.2fx the bare loop" % entry["floor_plus_parse_ratio"], "(info)"])
    pair = pair_ratio(found)
    if pair:
        few, many = pair
        rows.append(["zfree + zmalloc pair with 100,000 live blocks (bench_memleak)",
                     "%s ns" % number(many), "%s ns (10 live blocks)" % number(few),
                     "%.2fx / <= 2.00x" % (many / few), "yes" if many / few <= 2 else "no"])

    load_text = context.get("load_avg")
    machine = "%d CPUs (nproc), %s, %s" % (os.cpu_count() or 0, cpu_model(),
                                           time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()))
    if load_text:
        machine += ", load average %s" % " ".join("%.2f" % v for v in load_text)
    if markdown:
        print("Machine: " + machine)
        print()
        print("| " + " | ".join(head) + " |")
        print("|" + "---|" * len(head))
        for row in rows:
            print("| " + " | ".join(row) + " |")
    else:
        widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head))]
        line = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths))
        print("Machine: " + machine)
        print(line(head))
        print(line(["-" * w for w in widths]))
        for row in rows:
            print(line(row))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
