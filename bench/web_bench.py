#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The browser build's size and speed: the transfer size after gzip, the time from navigation to
the name prompt in headless Chromium (a fresh profile each run, cold, then a reload, warm; files
from 127.0.0.1), and the CPU the browser uses while a game waits for an answer, beside the same
browser showing the floor page (a plain page with a one-second countdown). Writes the section "In
the browser" of bench/results.md (replacing an earlier one).

Usage: web_bench.py DIST_FOLDER [--runs N] [--results bench/results.md]
"""

import argparse
import glob
import gzip
import os
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tests"))
import e2e_web  # noqa: E402  the server, the browser and the page driver

HEADING = "## In the browser"


def sizes(folder):
    """(bytes, bytes after gzip -9) of every file the page loads."""
    raw = packed = 0
    for path in sorted(glob.glob(os.path.join(folder, "**"), recursive=True)):
        if os.path.isfile(path):
            with open(path, "rb") as f:
                data = f.read()
            raw += len(data)
            packed += len(gzip.compress(data, 9))
    return raw, packed


# What a browser costs at the least while a page shows a ticking clock.
FLOOR_PAGE = """<!doctype html><meta charset="utf-8"><title>15</title>
<p id="clock">00:15:00</p><script>
let left = 900;
setInterval(() => { left -= 1; document.getElementById('clock').textContent =
  new Date(left * 1000).toISOString().substring(11, 19); }, 1000);
</script>"""


def idle_cpu(browser, seconds):
    """% of one core the browser uses over the next seconds."""
    time.sleep(2)
    before = browser_cpu_seconds(browser)
    time.sleep(seconds)
    return 100 * (browser_cpu_seconds(browser) - before) / seconds


def browser_cpu_seconds(browser):
    """CPU seconds used so far by Chromium and every process it started."""
    pids = [browser.process.pid]
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                with open(f"/proc/{pid}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                if int(fields[1]) in pids or int(pid) in pids:
                    pids.append(int(pid))
            except OSError:
                continue
    total = 0
    for pid in set(pids):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except OSError:
            continue
    return total


def one_start(url, floor_url, idle_seconds):
    """(cold start, warm start, idle % of the game, idle % of the floor page) of a fresh
    profile; no idle figures without idle_seconds."""
    browser = e2e_web.Browser(url)
    try:
        started = time.monotonic()
        tab = browser.open()
        tab.wait_box(e2e_web.NAME_PROMPT, "the name prompt")
        cold = time.monotonic() - started
        e2e_web.wait(lambda: tab.evaluate("navigator.serviceWorker.controller !== null"),
                     "the offline copy in charge")
        started = time.monotonic()
        tab.call("Page.reload")
        tab.wait_box(e2e_web.NAME_PROMPT, "the name prompt after a reload")
        warm = time.monotonic() - started
        if not idle_seconds:
            return cold, warm, None, None
        e2e_web.start_game(tab, "Bench")
        game = idle_cpu(browser, idle_seconds)
        tab.call("Page.navigate", url=floor_url)
        return cold, warm, game, idle_cpu(browser, idle_seconds)
    finally:
        browser.close()


def spread(values, digits=2):
    return (f"{statistics.median(values):.{digits}f} "
            f"({min(values):.{digits}f}–{max(values):.{digits}f})")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle", type=float, default=20)
    parser.add_argument("--results", default=os.path.join(os.path.dirname(__file__), "results.md"))
    args = parser.parse_args()
    folder = os.path.abspath(args.folder)
    server = e2e_web.serve(folder)
    url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
    floor = tempfile.mkdtemp(prefix="vorandi-floor-")
    with open(os.path.join(floor, "index.html"), "w", encoding="utf-8") as f:
        f.write(FLOOR_PAGE)
    floor_server = e2e_web.serve(floor)
    floor_url = f"http://127.0.0.1:{floor_server.server_address[1]}/index.html"
    colds, warms, idles, floors = [], [], [], []
    for run in range(args.runs):
        cold, warm, idle, floor_idle = one_start(url, floor_url, args.idle if run < 3 else 0)
        colds.append(cold)
        warms.append(warm)
        if idle is not None:
            idles.append(idle)
            floors.append(floor_idle)
    server.shutdown()
    floor_server.shutdown()
    shutil.rmtree(floor, ignore_errors=True)
    ratios = [g / f for g, f in zip(idles, floors)]
    raw, packed = sizes(folder)
    wasm = os.path.getsize(glob.glob(os.path.join(folder, "*", "vorandi.wasm"))[0])
    load = os.getloadavg()[0]
    section = f"""{HEADING}

Measured {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, `make web` (MinSizeRel, asyncify),
headless Chromium with SwiftShader, files served from 127.0.0.1; a fresh browser profile each run
(nothing cached: cold), then a reload once the offline copy is in charge (warm); the idle CPU of
the game and of the floor page in the same browser, one after the other, over {args.idle:.0f} s
each in the first three runs; median (min–max) of {args.runs} runs. Load average at the end: {load:.1f} on
{os.cpu_count()} cores. The desktop's start-up to the first window is in the table above.

| Measure | Browser | Target | |
|---|---|---|---|
| Transfer size of the folder after gzip -9 (MB) | {packed / 1e6:.2f} ({raw / 1e6:.1f} MB unpacked; vorandi.wasm {wasm / 1e6:.1f} MB) | ≤ 5 | {"met" if packed <= 5e6 else "missed"} |
| Navigation to the name prompt, cold (s) | {spread(colds)} | ≤ 1.5 | {"met" if statistics.median(colds) <= 1.5 else "missed"} |
| Reload to the name prompt, warm (s) | {spread(warms)} | ≤ 1.2 | {"met" if statistics.median(warms) <= 1.2 else "missed"} |
| Idle CPU of the browser, game waiting for an answer (% of one core) | {spread(idles, 1)} | (information) | — |
| Idle CPU of the browser, floor page with a one-second countdown (% of one core) | {spread(floors, 1)} | (information) | — |
| Idle CPU, game ÷ floor page (pair by pair) | {spread(ratios, 1)} | ≤ 2 | {"met" if statistics.median(ratios) <= 2 else "missed"} |
"""
    with open(args.results, encoding="utf-8") as f:
        text = f.read()
    if HEADING in text:
        text = text[:text.index(HEADING)].rstrip("\n") + "\n"
    with open(args.results, "w", encoding="utf-8") as f:
        f.write(text.rstrip("\n") + "\n\n" + section)
    print(section)


if __name__ == "__main__":
    main()
