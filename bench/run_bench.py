#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures the game against the floor of its own toolkit, side by side in one run.

Start-up, peak memory and idle CPU come from real windows on a private virtual X server, game and
floor runs alternating so that both see the same machine; the clock and the single operations are
measured in process. Prints a Markdown table and writes it where asked.
"""

import argparse
import datetime
import json
import os
import platform
import queue
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tools"))
import desktop  # noqa: E402  the X display and key driver

ROOT = Path(__file__).resolve().parent.parent

# A window at least this wide is the game's main window (688x580); its boxes are smaller.
MAIN_WINDOW_MIN_WIDTH = desktop.MAIN_WINDOW_MIN_WIDTH
PLAYER_NAME = "Bench"
# How long a box may take to give way to the next window before Enter is pressed again.
BOX_WAIT_S = 5


@dataclass
class Settings:
    runs: int = 7
    warmup: bool = True
    settle_s: float = 3.0
    idle_s: float = 30.0
    clock_ticks: int = 60
    extra_startups: int = 5
    extra_enters: int = 2
    ops_args: tuple = ("--benchmark_repetitions=7", "--benchmark_min_time=0.2",
                       "--benchmark_min_warmup_time=0.1")

    @staticmethod
    def quick():
        return Settings(runs=1, warmup=False, settle_s=1.0, idle_s=3.0, clock_ticks=5,
                        extra_startups=0, extra_enters=0,
                        ops_args=("--benchmark_repetitions=1", "--benchmark_min_time=0.01"))


@dataclass
class Spread:
    """Median and range of a series of figures."""
    values: list

    @property
    def median(self):
        return statistics.median(self.values)

    def text(self, digits):
        if not self.values:
            return "n/a"
        if len(self.values) == 1:
            return f"{self.values[0]:.{digits}f}"
        return (f"{self.median:.{digits}f} ({min(self.values):.{digits}f}–"
                f"{max(self.values):.{digits}f})")


# The section bench/web_bench.py writes into the results.
BROWSER_HEADING = "## In the browser"


def pair_ratios(game, floor):
    """Game over floor, pair by pair; pairs with a zero floor have no ratio."""
    return [g / f for g, f in zip(game, floor) if f > 0]


# --- /proc readings ------------------------------------------------------------------------------

def parse_vm_hwm(status_text):
    """Peak resident set size in KiB from the text of /proc/PID/status."""
    match = re.search(r"^VmHWM:\s+(\d+)\s+kB", status_text, re.MULTILINE)
    if not match:
        raise ValueError("no VmHWM line")
    return int(match.group(1))


def parse_stat_cpu_ticks(stat_text):
    """utime + stime, in clock ticks, from the text of /proc/PID/stat."""
    # The command name may hold blanks and parentheses: the fields start after the last ')'.
    fields = stat_text.rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def cpu_seconds(pid):
    """CPU time of every thread of the process. The scheduler's nanosecond counters are what
    utime + stime are rounded from; the tick counts of /proc/PID/stat serve where they are
    missing."""
    task_dir = Path(f"/proc/{pid}/task")
    try:
        total = 0
        for task in task_dir.iterdir():
            total += int((task / "schedstat").read_text().split()[0])
        return total / 1e9
    except (OSError, ValueError, IndexError):
        ticks = parse_stat_cpu_ticks(Path(f"/proc/{pid}/stat").read_text())
        return ticks / os.sysconf("SC_CLK_TCK")


# --- the helper's lines ------------------------------------------------------------------------

@dataclass
class MapEvent:
    micros: int
    window: str
    width: int
    height: int
    cpu_micros: int = -1  # the program's CPU time when the window appeared; -1 unknown


@dataclass
class PaintEvent:
    micros: int
    window: str


def parse_helper_line(line):
    """('origin', int) / ('pid', int) / ('map', MapEvent) / ('paint', PaintEvent) /
    ('exit', int) / ('timeout', None) / None."""
    parts = line.split()
    if not parts:
        return None
    if parts[0] in ("origin", "pid") and len(parts) == 2:
        return (parts[0], int(parts[1]))
    if parts[0] == "paint" and len(parts) == 3:
        return ("paint", PaintEvent(int(parts[1]), parts[2]))
    if parts[0] == "map" and len(parts) in (5, 6):
        return ("map", MapEvent(int(parts[1]), parts[2], *map(int, parts[3:])))
    if parts[0] == "exit" and len(parts) == 2:
        return ("exit", int(parts[1]))
    if parts[0] == "timeout":
        return ("timeout", None)
    return None


class HelperOutput:
    """Reads the helper's lines in the background, so that waiting for one can time out."""

    def __init__(self, stream):
        self._lines = queue.Queue()
        threading.Thread(target=self._pump, args=(stream,), daemon=True).start()

    def _pump(self, stream):
        for line in stream:
            self._lines.put(line)
        self._lines.put(None)

    def next(self, kind, timeout):
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError(f"no '{kind}' from the program within {timeout:.0f} s")
            try:
                line = self._lines.get(timeout=left)
            except queue.Empty:
                continue
            if line is None:
                raise RuntimeError(f"the program ended before its '{kind}'")
            parsed = parse_helper_line(line)
            if parsed and parsed[0] == kind:
                return parsed[1]
            if parsed and parsed[0] in ("exit", "timeout"):
                raise RuntimeError(f"the program ended before its '{kind}': {line.strip()}")


# --- window runs -------------------------------------------------------------------------------

@dataclass
class WindowRun:
    startup_ms: float
    hwm_kib: int
    idle_pct: float
    startup_cpu_ms: float = -1
    enter_to_paint_ms: float = -1  # the name's Enter to the main window drawn; -1 unknown


@dataclass
class Series:
    """One program's figures over the runs; start-ups also from the extra short runs."""
    runs: list = field(default_factory=list)
    startups: list = field(default_factory=list)  # (wall ms, CPU ms)
    enters: list = field(default_factory=list)  # name's Enter to the painted main window, ms


def answer_box(display, window, first):
    """The first box asks the player's name; every other one only wants Enter."""
    env = dict(os.environ, DISPLAY=display)
    desktop.xdotool(env, "windowfocus", window, check=True)
    if first:
        desktop.xdotool(env, "type", "--delay", "20", PLAYER_NAME, check=True)
    desktop.xdotool(env, "key", "Return", check=True)


def wait_main_window(display, output, first_map):
    """Answers the boxes before the main window, pressing Enter again if a key went astray.
    Returns the main window's map and the monotonic time (s) at which the name's Enter had been
    pressed (None when the first window was the main one)."""
    event, boxes, entered = first_map, 0, None
    while event.width < MAIN_WINDOW_MIN_WIDTH:
        answer_box(display, event.window, boxes == 0)
        if boxes == 0:
            entered = time.monotonic()
        boxes += 1
        try:
            event = output.next("map", BOX_WAIT_S)
        except TimeoutError:
            if boxes > 6:
                raise
    return event, entered


def wait_painted(output, window):
    """Microseconds from the fork to the first drawing into the window."""
    while True:
        paint = output.next("paint", BOX_WAIT_S)
        if paint.window == window:
            return paint.micros


def program_env(display, data_home, runtime_dir):
    env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_DATA_HOME=str(data_home),
               XDG_RUNTIME_DIR=str(runtime_dir))
    return env


def window_run(tools, program, display, settings, scratch, enter_only=False):
    """One start of a program: start-up to its first window, the name's Enter to the painted main
    window, then, with the main window up, peak memory and idle CPU (unless enter_only)."""
    data_home = Path(tempfile.mkdtemp(dir=scratch, prefix="data-"))
    helper = subprocess.Popen(
        [tools.maptime, "--timeout", "60", "--", program], stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL, text=True,
        env=program_env(display, data_home, scratch / "runtime"))
    output = HelperOutput(helper.stdout)
    pid = None
    try:
        origin = output.next("origin", 10)
        pid = output.next("pid", 10)
        first = output.next("map", 60)
        main_map, entered = wait_main_window(display, output, first)
        enter_ms = -1
        if entered is not None:
            painted = wait_painted(output, main_map.window)
            enter_ms = (origin + painted) / 1000 - entered * 1000
        if enter_only:
            return WindowRun(first.micros / 1000, -1, -1, first.cpu_micros / 1000, enter_ms)
        time.sleep(settings.settle_s)
        hwm = parse_vm_hwm(Path(f"/proc/{pid}/status").read_text())
        cpu0, wall0 = cpu_seconds(pid), time.monotonic()
        time.sleep(settings.idle_s)
        cpu1, wall1 = cpu_seconds(pid), time.monotonic()
        return WindowRun(first.micros / 1000, hwm, (cpu1 - cpu0) / (wall1 - wall0) * 100,
                         first.cpu_micros / 1000, enter_ms)
    finally:
        if pid:
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        try:
            helper.wait(15)
        except subprocess.TimeoutExpired:
            helper.kill()
            helper.wait()
        shutil.rmtree(data_home, ignore_errors=True)


def startup_run(tools, program, display, scratch):
    """Start-up alone: the program is ended as soon as its first window is on screen."""
    data_home = Path(tempfile.mkdtemp(dir=scratch, prefix="data-"))
    try:
        done = subprocess.run(
            [tools.maptime, "--first", "--timeout", "60", "--", program], capture_output=True,
            text=True, timeout=90, env=program_env(display, data_home, scratch / "runtime"))
    finally:
        shutil.rmtree(data_home, ignore_errors=True)
    for line in done.stdout.splitlines():
        parsed = parse_helper_line(line)
        if parsed and parsed[0] == "map":
            return parsed[1].micros / 1000, parsed[1].cpu_micros / 1000
    raise RuntimeError(f"{program} showed no window: {done.stdout.strip()}")


def window_pairs(tools, settings, log):
    """Game and floor alternately: a warm-up pair, then the measured ones, each followed by
    short start-up pairs, which are cheap and steady the noisiest figure. With an earlier build
    of the game to compare with, its name's Enter to the painted window is measured in each round
    too."""
    game, floor, baseline = Series(), Series(), Series()
    with tempfile.TemporaryDirectory(prefix="vorandi-bench-") as scratch_name:
        scratch = Path(scratch_name)
        (scratch / "runtime").mkdir(mode=0o700)
        with desktop.virtual_screen() as display:
            log(f"virtual screen {display}")
            total = settings.runs + (1 if settings.warmup else 0)
            for i in range(total):
                warmup = settings.warmup and i == 0
                g = window_run(tools, tools.game, display, settings, scratch)
                f = window_run(tools, tools.floor, display, settings, scratch)
                b = (window_run(tools, tools.baseline, display, settings, scratch, True)
                     if tools.baseline else None)
                log(f"{'warm-up' if warmup else f'run {len(game.runs) + 1}'}: game {g}, "
                    f"floor {f}" + (f", earlier build {b}" if b else ""))
                if warmup:
                    continue
                game.runs.append(g)
                floor.runs.append(f)
                game.enters.append(g.enter_to_paint_ms)
                if b:
                    baseline.enters.append(b.enter_to_paint_ms)
                game.startups.append((g.startup_ms, g.startup_cpu_ms))
                floor.startups.append((f.startup_ms, f.startup_cpu_ms))
                for _ in range(settings.extra_enters):
                    game.enters.append(window_run(tools, tools.game, display, settings,
                                                  scratch, True).enter_to_paint_ms)
                    if tools.baseline:
                        baseline.enters.append(window_run(tools, tools.baseline, display,
                                                          settings, scratch,
                                                          True).enter_to_paint_ms)
                for _ in range(settings.extra_startups):
                    game.startups.append(startup_run(tools, tools.game, display, scratch))
                    floor.startups.append(startup_run(tools, tools.floor, display,
                                                      scratch))
    return game, floor, baseline


# --- in-process measurements -------------------------------------------------------------------

def start_clock(tools, settings):
    runs = settings.runs + (1 if settings.warmup else 0)
    return subprocess.Popen([tools.clock, "--ticks", str(settings.clock_ticks), "--runs",
                             str(runs)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            text=True)


def parse_clock_lines(text, warmup):
    """Elapsed milliseconds of each measured run."""
    runs = [float(line.split()[2]) for line in text.splitlines() if line.startswith("run ")]
    return runs[1:] if warmup else runs


def parse_ops_json(text):
    """CPU nanoseconds of each repetition, counters and label, by benchmark name."""
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
    results = {}
    for entry in json.loads(text)["benchmarks"]:
        if entry.get("run_type", "iteration") != "iteration" or entry.get("error_occurred"):
            continue
        # A benchmark with a fixed count of iterations is named with it ("/iterations:900").
        name = entry["run_name"].split("/")[0]
        item = results.setdefault(name, {"cpu_ns": [], "label": "", "bg_px": []})
        item["cpu_ns"].append(entry["cpu_time"] * scale[entry.get("time_unit", "ns")])
        item["label"] = entry.get("label", "")
        if "bg_px" in entry:
            item["bg_px"].append(entry["bg_px"])
    return results


def run_ops(tools, settings):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    with tempfile.TemporaryDirectory(prefix="vorandi-ops-") as home:
        env.update(XDG_DATA_HOME=home, XDG_RUNTIME_DIR=home)
        done = subprocess.run([tools.ops, "--benchmark_format=json", *settings.ops_args],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                              env=env, check=True, timeout=900)
    return parse_ops_json(done.stdout)


# --- the table ---------------------------------------------------------------------------------

@dataclass
class Row:
    measure: str
    game: str
    floor: str = "—"
    ratio: str = "—"
    target: str = "—"
    verdict: str = "—"


def verdict(ok):
    return "met" if ok else "**missed**"


def known_pairs(game, floor):
    """The pairs where both figures are known (not negative), as two lists."""
    pairs = [(g, f) for g, f in zip(game, floor) if g >= 0 and f >= 0]
    return [g for g, _ in pairs], [f for _, f in pairs]


def ratio_row(name, game, floor, digits, limit=None, target="—"):
    g, f = Spread(game), Spread(floor)
    ratios = Spread(pair_ratios(g.values, f.values))
    ok = bool(ratios.values) and limit is not None and ratios.median <= limit
    return Row(name, g.text(digits), f.text(digits), ratios.text(2), target,
               verdict(ok) if limit is not None else "—")


def enter_rows(game, baseline):
    """The name's Enter to the painted main window; against an earlier build when one was
    measured alongside."""
    name = "Name's Enter to the painted main window, greeting answered (ms)"
    g = Spread([v for v in game.enters if v >= 0])
    if not baseline.enters:
        return [Row(name, g.text(0), target="(information)")]
    pairs = known_pairs(game.enters, baseline.enters)
    b = Spread(pairs[1])
    ratios = Spread(pair_ratios(*pairs))
    ok = bool(ratios.values) and ratios.median <= 1.05
    return [Row(name, g.text(0), target="not above the earlier build"),
            Row(name.replace(" (ms)", ", earlier build (ms)"), b.text(0),
                ratio=f"game ÷ earlier {ratios.text(2)}", target="≤ 1.05 × earlier",
                verdict=verdict(ok))]


def window_rows(game, floor, baseline=None):
    rows = [
        ratio_row("Start-up to the first window (ms)", [w for w, _ in game.startups],
                  [w for w, _ in floor.startups], 0, 1.20, "≤ 1.20 × floor"),
        ratio_row("CPU time by the first window, all threads (ms)",
                  *known_pairs([c for _, c in game.startups], [c for _, c in floor.startups]), 0),
        ratio_row("Peak memory, 3 s after the main window (MiB)",
                  [r.hwm_kib / 1024 for r in game.runs], [r.hwm_kib / 1024 for r in floor.runs],
                  1, 1.25, "≤ 1.25 × floor"),
    ]
    g = Spread([r.idle_pct for r in game.runs])
    f = Spread([r.idle_pct for r in floor.runs])
    ratios = Spread(pair_ratios(g.values, f.values))
    rows.append(Row("Idle CPU, clock ticking (% of one core)", g.text(3), f.text(3),
                    ratios.text(1), "≤ 0.12 %", verdict(bool(g.values) and g.median <= 0.12)))
    return rows[:2] + enter_rows(game, baseline or Series()) + rows[2:]


def clock_row(elapsed_ms, ticks):
    s = Spread(elapsed_ms)
    expected = ticks * 1000
    ok = bool(elapsed_ms) and all(abs(v - expected) <= 30 for v in elapsed_ms)
    return Row(f"Clock: {ticks} ticks (ms)", s.text(1), target=f"{expected} ± 30",
               verdict=verdict(ok) if elapsed_ms else "n/a")


OPS = [
    ("BM_ScoredAnswerRight", "One scored answer, right (µs CPU)", 50),
    ("BM_ScoredAnswerWrong", "One scored answer, wrong (µs CPU)", 50),
    ("BM_DrawnQuestion", "One drawn question (µs CPU)", 50),
    ("BM_ClockTickPainted", "One clock tick with its repaint (µs CPU)", None),
    ("BM_WholeWindowRepaint", "The whole window repainted, for scale (µs CPU)", None),
]


def ops_rows(ops):
    rows = []
    for key, name, limit in OPS:
        item = ops.get(key)
        if not item:
            rows.append(Row(name, "n/a", verdict="n/a"))
            continue
        s = Spread([v / 1000 for v in item["cpu_ns"]])
        notes = []
        if item["bg_px"]:
            notes.append(f"{statistics.median(item['bg_px']):.0f} px of background repainted")
        if item["label"]:
            notes.append(item["label"])
        label = name + (f" — {', '.join(notes)}" if notes else "")
        if limit is None:
            rows.append(Row(label, s.text(1), target="(information)"))
        else:
            rows.append(Row(label, s.text(1), target=f"< {limit}",
                            verdict=verdict(s.median < limit)))
    return rows


def markdown_table(rows):
    lines = ["| Measure | Game | Floor | Game ÷ floor | Target | |",
             "|---|---|---|---|---|---|"]
    for r in rows:
        lines.append(f"| {r.measure} | {r.game} | {r.floor} | {r.ratio} | {r.target} | "
                     f"{r.verdict} |")
    return "\n".join(lines)


# --- where and when ----------------------------------------------------------------------------

def commit_text():
    def git(*args):
        return subprocess.run(["git", "-C", str(ROOT), *args], capture_output=True,
                              text=True).stdout.strip()
    head = git("rev-parse", "--short", "HEAD") or "unknown"
    # The files this runner writes do not count as changes.
    changed = [line for line in git("status", "--porcelain", "--untracked-files=no").splitlines()
               if not line.endswith(("README.md", "bench/results.md"))]
    return head + (" with local changes" if changed else "")


def cpu_model():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def load_text(loads):
    """The machine's load over the run, and a warning when the figures suffer from it."""
    if not loads:
        return ""
    cores = os.cpu_count() or 1
    text = (f" Load average over 1 min: {min(loads):.1f}–{max(loads):.1f} on {cores} cores"
            f" during the run")
    if max(loads) > cores:
        text += (" — other work competed for the processors, so the times by the wall clock "
                 "spread widely; the CPU-time and pair-by-pair figures suffer least")
    return text + "."


def header(settings, quick, when, loads=()):
    mode = "quick pass (1 run, short durations: figures not meaningful)" if quick else (
        f"median (min–max) of {settings.runs} runs after a warm-up")
    return (f"Measured {when:%Y-%m-%d %H:%M} UTC on commit {commit_text()}; machine: "
            f"{cpu_model()}, nproc {os.cpu_count()}, "
            f"Linux {platform.release()}.\n"
            f"Each figure: {mode}. Game and floor (a bare Qt window of the same size with a few "
            f"labels and a text box) run alternately on a private Xvfb; ratios are pair by pair. "
            f"Idle CPU over {settings.idle_s:g} s of a running game; the clock and the single "
            f"operations in process (QElapsedTimer; Google Benchmark, offscreen, painting left "
            f"out).{load_text(loads)}")


def replace_section(document, heading, body):
    """The document with the section under `## heading` replaced by body (or added at the end)."""
    lines = document.splitlines()
    start = next((i for i, line in enumerate(lines) if line.strip() == f"## {heading}"), None)
    section = [f"## {heading}", "", *body.rstrip("\n").splitlines()]
    if start is None:
        while lines and not lines[-1].strip():
            lines.pop()
        return "\n".join(lines + [""] + section) + "\n"
    end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("## ")),
               len(lines))
    tail = lines[end:]
    return "\n".join(lines[:start] + section + ([""] + tail if tail else [])) + "\n"


# --- main --------------------------------------------------------------------------------------

def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for tool in ("game", "floor", "maptime", "clock", "ops"):
        p.add_argument(f"--{tool}", required=True)
    p.add_argument("--baseline", default=os.environ.get("VORANDI_BENCH_BASELINE") or None,
                   help="an earlier build of the game, whose name's Enter to the painted window is "
                        "measured alongside (default: $VORANDI_BENCH_BASELINE)")
    p.add_argument("--quick", action="store_true", help="one short run of each, to prove it works")
    p.add_argument("--runs", type=int, help="measured runs of each (default 7)")
    p.add_argument("--output", help="also write the table here")
    p.add_argument("--readme", help="put the table in this file's Performance section")
    return p.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    settings = Settings.quick() if args.quick else Settings()
    if args.runs:
        settings.runs = max(1, args.runs)

    def log(message):
        print(f"[bench] {message}", file=sys.stderr, flush=True)

    when = datetime.datetime.now(datetime.timezone.utc)
    loads = [os.getloadavg()[0]]
    clock = start_clock(args, settings)
    try:
        log("measuring single operations")
        ops = run_ops(args, settings)
        log("measuring windows: start-up, peak memory, idle CPU")
        loads.append(os.getloadavg()[0])
        game, floor, baseline = window_pairs(args, settings, log)
        log("waiting for the clock")
        clock_out, _ = clock.communicate(
            timeout=settings.clock_ticks * 1.2 * (settings.runs + 1) + 60)
    finally:
        if clock.poll() is None:
            clock.kill()
            clock.wait()
    elapsed = parse_clock_lines(clock_out, settings.warmup)

    rows = window_rows(game, floor, baseline) + [clock_row(elapsed, settings.clock_ticks)] + ops_rows(ops)
    loads.append(os.getloadavg()[0])
    text = header(settings, args.quick, when, loads) + "\n\n" + markdown_table(rows) + "\n"
    print(text)
    if args.output:
        # The browser's figures (web_bench.py) are measured apart and kept.
        output = Path(args.output)
        earlier = output.read_text() if output.exists() else ""
        browser = earlier[earlier.index(BROWSER_HEADING):] if BROWSER_HEADING in earlier else ""
        output.write_text(f"# Benchmark results\n\n{text}" + ("\n" + browser if browser else ""))
    if args.readme and not args.quick:
        readme = Path(args.readme)
        body = (f"Latest figures ({when:%Y-%m-%d}), from `make bench`: the game against a bare Qt "
                f"window (the floor) on the same machine in the same run. What is measured and "
                f"where the costs lie: [bench/README.md](bench/README.md).\n\n{text}")
        readme.write_text(replace_section(readme.read_text(), "Performance", body))
    missing = [r.measure for r in rows if "n/a" in (r.game,)]
    if missing:
        log("no figure for: " + "; ".join(missing))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
