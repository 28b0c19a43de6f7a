#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reliability figures of a test run.

  reliability.py fuzz --binary B --corpus DIR --work DIR --seconds N --out FILE
      Replays a fuzz target's committed corpus, then lets it explore for N seconds; appends the
      number of inputs run to FILE (JSON lines) and fails when the target found a fault.
  reliability.py render [--run LABEL=FILE ...] [--stages FILE] [--commit C] [--output MD]
      Turns the JSON lines the tests wrote into the Markdown table of docs/reliability.md.
"""
import argparse
import collections
import datetime
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys

STAT = re.compile(r"stat::number_of_executed_units:\s*(\d+)")


def append(out, entry):
    with open(out, "a", encoding="utf-8") as f:
        f.write(json.dumps(entry, ensure_ascii=False) + "\n")


def run_fuzzer(args, extra, label):
    command = [args.binary, "-print_final_stats=1", "-timeout=60", "-rss_limit_mb=4096"] + extra
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    if args.no_leak_check:
        command.append("-detect_leaks=0")
        env["ASAN_OPTIONS"] = "detect_leaks=0"
    started = datetime.datetime.now()
    proc = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors="replace", env=env)
    seconds = (datetime.datetime.now() - started).total_seconds()
    found = STAT.findall(proc.stdout)
    executed = int(found[-1]) if found else 0
    if proc.returncode != 0:
        sys.stdout.write(proc.stdout[-20000:])
        print(f"{label}: {os.path.basename(args.binary)} failed with exit code {proc.returncode}")
    return proc.returncode == 0, executed, seconds


def fuzz(args):
    corpus = pathlib.Path(args.corpus)
    work = pathlib.Path(args.work)
    artifacts = work.parent / (work.name + "-artifacts")
    work.mkdir(parents=True, exist_ok=True)
    artifacts.mkdir(parents=True, exist_ok=True)
    name = os.path.basename(args.binary)
    files = sorted(p for p in corpus.iterdir() if p.is_file())

    # The committed inputs, each run once: a fault fixed once stays fixed.
    ok, replayed, seconds = run_fuzzer(args, ["-runs=0", str(corpus)], "replay")
    append(args.out, {"kind": "fuzz", "target": name, "phase": "replay", "inputs": len(files),
                      "executed": replayed, "seconds": round(seconds, 1), "ok": ok})
    if not ok:
        return 1
    if args.seconds <= 0:
        return 0
    # New inputs go to the work folder only; the committed corpus is read, never written.
    before = sum(1 for _ in work.iterdir())
    # libFuzzer counts its time from the start, corpus included: the replay's time is added.
    budget = args.seconds + int(seconds + 0.999)
    ok, explored, seconds = run_fuzzer(
        args, [f"-max_total_time={budget}", f"-artifact_prefix={artifacts}/",
               str(work), str(corpus)], "explore")
    after = sum(1 for _ in work.iterdir())
    append(args.out, {"kind": "fuzz", "target": name, "phase": "explore", "executed": explored,
                      "seconds": round(seconds, 1), "new_inputs": after - before, "ok": ok})
    if not ok:
        print(f"the failing input is in {artifacts}")
        return 1
    print(f"{name}: {len(files)} corpus inputs replayed, {explored} inputs explored "
          f"in {seconds:.0f} s, no fault")
    return 0


def load(path):
    entries = []
    if path and os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                line = line.strip()
                if line:
                    entries.append(json.loads(line))
    return entries


def commit_name(explicit):
    if explicit:
        return explicit
    try:
        head = subprocess.run(["git", "rev-parse", "--short", "HEAD"], capture_output=True,
                              text=True, check=True).stdout.strip()
        dirty = subprocess.run(["git", "status", "--porcelain", "--untracked-files=no"],
                               capture_output=True, text=True).stdout.strip()
        return head + (" (with uncommitted changes)" if dirty else "")
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def summary(entries):
    """Counts of one run: faults, bad inputs, kills, losses, fuzz inputs, soak."""
    s = collections.Counter()
    for e in entries:
        kind = e.get("kind")
        if kind in ("fault", "input") and e.get("skipped"):
            s["skipped"] += 1
        elif kind in ("fault", "input"):
            s[kind + "s"] += 1
            s[kind + "s_survived"] += 1 if e.get("survived") else 0
            s["lost"] += e.get("lost", 0)
            s["hangs"] += e.get("hangs", 0)
        elif kind == "kill":
            s["kills"] += e.get("kills", 0)
            s["kills_complete"] += e.get("complete", 0)
            s["lost"] += e.get("lost", 0)
        elif kind == "fuzz":
            s["fuzz_" + e["phase"]] += e.get("executed", 0)
            s["fuzz_failed"] += 0 if e.get("ok") else 1
        elif kind == "soak":
            s["soak_games"] += e.get("games", 0)
    return s


def cell(value):
    return f"{value:,}".replace(",", "\u202f")


def render(args):
    runs = []
    for item in args.run or []:
        label, _, path = item.partition("=")
        runs.append((label, load(path)))
    stages = load(args.stages)
    date = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    lines = [
        "# Reliability",
        "",
        "Generated by `tools/reliability.py` from the figures the tests wrote during "
        f"`make test` on {date}, commit {commit_name(args.commit)}. Do not edit by hand: "
        "`make reliability` runs the tests again and rewrites this file.",
        "",
        "What a child, a teacher or a damaged disk can do to the game, and what came of it. "
        "The plain build runs the tests as shipped; the sanitizer build runs the same tests "
        "under AddressSanitizer, LeakSanitizer and UBSan, where any report fails the test; the "
        "fuzzing build replays each fuzz target's committed corpus (`fuzz/corpus/`) and then "
        "explores new inputs for a few seconds (`make fuzz` explores longer). Faults come from "
        "`tests/tst_faults.cpp`, bad inputs from `tests/tst_hostile.cpp`, the soak from "
        "`tests/tst_soak.cpp`; a record is lost when the pair on disk afterwards is neither the "
        "old pair nor the new one whole.",
        "",
    ]
    header = "| | " + " | ".join(label for label, _ in runs) + " |"
    lines += [header, "|---" * (len(runs) + 1) + "|"]
    sums = [summary(entries) for _, entries in runs]

    def row(title, fn):
        lines.append(f"| {title} | " + " | ".join(fn(s) for s in sums) + " |")

    row("faults injected (survived)", lambda s: f"{cell(s['faults'])} ({cell(s['faults_survived'])})")
    row("fault rows skipped on this machine", lambda s: cell(s["skipped"]))
    row("bad inputs tried (survived)", lambda s: f"{cell(s['inputs'])} ({cell(s['inputs_survived'])})")
    row("saves killed mid-way (complete pair after)",
        lambda s: f"{cell(s['kills'])} ({cell(s['kills_complete'])})")
    row("new games in one process (soak)", lambda s: cell(s["soak_games"]))
    row("fuzz inputs: committed corpus replayed", lambda s: cell(s["fuzz_replay"]))
    row("fuzz inputs: explored", lambda s: cell(s["fuzz_explore"]))
    row("fuzz targets that found a fault", lambda s: cell(s["fuzz_failed"]))
    row("**records lost**", lambda s: f"**{cell(s['lost'])}**")
    row("**hangs** (a wait with nothing on screen, ended by the test)",
        lambda s: f"**{cell(s['hangs'])}**")
    lines.append("")

    cases = {}
    labels = []
    for label, entries in runs:
        for e in entries:
            if e.get("kind") in ("fault", "input"):
                key = (e["kind"], e["name"], e.get("how", ""))
                cases.setdefault(key, {})[label] = e
                if label not in labels:
                    labels.append(label)
    if cases:
        lines += ["## Faults and bad inputs", "",
                  "Each cell: came through (a clear message or sound handling, no crash) / "
                  "records lost. Hangs: the runs in which the case waited with nothing on "
                  "screen until the test freed it; it must be 0.", "",
                  "| kind | case | how | " + " | ".join(labels) + " | hangs |",
                  "|---|---|---|" + "---|" * len(labels) + "---|"]
        for (kind, name, how), by_run in sorted(cases.items()):
            cells = []
            for label in labels:
                e = by_run.get(label)
                if e is None:
                    cells.append("–")
                elif e.get("skipped"):
                    cells.append(f"skipped: {e['skipped']}")
                else:
                    cells.append(f"{'yes' if e.get('survived') else '**no**'} / "
                                 f"{e.get('lost', 0)}")
            hangs = sum(e.get("hangs", 0) for e in by_run.values())
            lines.append(f"| {kind} | {name} | {how} | " + " | ".join(cells) + f" | {hangs} |")
        lines.append("")
    for label, entries in runs:
        extra = [e for e in entries if e.get("kind") in ("kill", "soak", "timing", "fuzz")]
        if extra:
            lines += [f"## Kills, soak, fuzzing and timings: {label}", ""]
            order = {"kill": 0, "soak": 1, "fuzz": 2, "timing": 3}
            for e in sorted(extra, key=lambda e: order[e["kind"]]):
                lines.append("- " + describe(e))
            lines.append("")

    realtime = load(args.soak)
    if realtime:
        e = realtime[-1]
        lines += ["## A whole game in real time (`make soak`, not part of `make test`)", "",
                  f"- {'ended by itself' if e['ok'] else '**failed**'}: goodbye box after "
                  f"{e['goodbye_after_s']} s, exit code {e['exit']}, record saved "
                  f"{e['score']!r} by {e['holder']!r}; VmRSS {e['rss_first_kb']} kB at the first "
                  f"sample, {e['rss_last_kb']} kB at the last, peak {e['rss_peak_kb']} kB.", ""]

    if stages:
        lines += ["## Time of each `make test` stage", "", "| stage | seconds |", "|---|---|"]
        total = 0
        for e in stages:
            lines.append(f"| {e['stage']} | {e['seconds']} |")
            total += e["seconds"]
        lines += [f"| **total** | **{total}** |", ""]

    text = "\n".join(lines)
    if args.output:
        pathlib.Path(args.output).write_text(text, encoding="utf-8")
    else:
        sys.stdout.write(text)
    lost = sum(s["lost"] + s["hangs"] for s in sums)
    return 1 if lost else 0


def describe(e):
    kind = e["kind"]
    if kind == "kill":
        return (f"{cell(e['kills'])} saves killed with SIGKILL at random moments: "
                f"{cell(e['complete'])} left a complete pair that a game wrote, "
                f"{cell(e['lost'])} lost a record; {cell(e.get('saves', 0))} saves completed "
                f"between the kills; {cell(e.get('leftovers', 0))} temporary files left behind.")
    if kind == "soak":
        heap = (f", heap in use {e['heap_before_kb']} → {e['heap_after_kb']} kB"
                if e.get("heap_before_kb") else "")
        return (f"soak: {cell(e['games'])} new games in one process after "
                f"{e.get('warm_up', 0)} to warm up: widgets {e['widgets_before']} → "
                f"{e['widgets_after']}, open files {e['fds_before']} → {e['fds_after']}, VmRSS "
                f"{e['rss_before_kb']} → {e['rss_after_kb']} kB{heap}; {e['seconds']} s.")
    if kind == "timing":
        return f"{e['name']}: {e['ms']} ms (measured, not asserted)."
    if kind == "fuzz":
        if e["phase"] == "replay":
            return (f"{e['target']}: {e['inputs']} committed inputs replayed "
                    f"({'no fault' if e['ok'] else '**fault**'}).")
        return (f"{e['target']}: {cell(e['executed'])} inputs explored in {e['seconds']} s, "
                f"{e.get('new_inputs', 0)} new corpus entries "
                f"({'no fault' if e['ok'] else '**fault**'}).")
    return json.dumps(e)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    f = sub.add_parser("fuzz")
    f.add_argument("--binary", required=True)
    f.add_argument("--corpus", required=True)
    f.add_argument("--work", required=True)
    f.add_argument("--seconds", type=int, default=5)
    f.add_argument("--out", required=True)
    f.add_argument("--no-leak-check", action="store_true",
                   help="for a target whose harness ends games by unwinding through Qt")
    r = sub.add_parser("render")
    r.add_argument("--run", action="append", help="LABEL=FILE of JSON lines")
    r.add_argument("--stages")
    r.add_argument("--soak", help="JSON lines written by tools/soak.py (make soak)")
    r.add_argument("--commit")
    r.add_argument("--output")
    args = parser.parse_args()
    if args.command == "fuzz" and not os.path.exists(args.binary):
        parser.error(f"no fuzz target at {args.binary}")
    return fuzz(args) if args.command == "fuzz" else render(args)


if __name__ == "__main__":
    sys.exit(main())
