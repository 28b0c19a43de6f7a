#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The browser build's size and speed: the transfer size after gzip, the time from navigation to
the name prompt in headless Chromium (a fresh profile each run, files from 127.0.0.1), and the CPU
the browser uses while a game waits for an answer. Writes the section "In the browser" of
bench/results.md (replacing an earlier one).

Usage: web_bench.py DIST_FOLDER [--runs N] [--results bench/results.md]
"""

import argparse
import glob
import gzip
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tests"))
import e2e_web  # noqa: E402  the server, the browser and the page driver

HEADING = "## In the browser"


def sizes(folder):
    """(bytes, bytes after gzip -9) of every file the page loads."""
    raw = packed = 0
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        raw += len(data)
        packed += len(gzip.compress(data, 9))
    return raw, packed


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


def one_start(url, idle_seconds):
    browser = e2e_web.Browser(url)
    try:
        started = time.monotonic()
        tab = browser.open()
        tab.wait_box("Come ti chiami", "the name prompt")
        to_prompt = time.monotonic() - started
        idle = None
        if idle_seconds:
            e2e_web.start_game(tab, "Bench")
            time.sleep(2)
            before = browser_cpu_seconds(browser)
            time.sleep(idle_seconds)
            idle = 100 * (browser_cpu_seconds(browser) - before) / idle_seconds
        return to_prompt, idle
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
    starts, idles = [], []
    for run in range(args.runs):
        to_prompt, idle = one_start(url, args.idle if run < 3 else 0)
        starts.append(to_prompt)
        if idle is not None:
            idles.append(idle)
    server.shutdown()
    raw, packed = sizes(folder)
    wasm = os.path.getsize(glob.glob(os.path.join(folder, "*", "vorandi.wasm"))[0])
    load = os.getloadavg()[0]
    section = f"""{HEADING}

Measured {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, `make web` (MinSizeRel, asyncify),
headless Chromium with SwiftShader, files served from 127.0.0.1; a fresh browser profile each run
(nothing cached); median (min–max) of {args.runs} runs. Load average at the end: {load:.1f} on
{os.cpu_count()} cores. The desktop's start-up to the first window is in the table above.

| Measure | Browser | Target | |
|---|---|---|---|
| Transfer size of the folder after gzip -9 (MB) | {packed / 1e6:.2f} ({raw / 1e6:.1f} MB unpacked; vorandi.wasm {wasm / 1e6:.1f} MB) | ≤ 7 | {"met" if packed <= 7e6 else "missed"} |
| Navigation to the name prompt (s) | {spread(starts)} | ≤ 3 | {"met" if statistics.median(starts) <= 3 else "missed"} |
| Idle CPU of the browser, game waiting for an answer (% of one core) | {spread(idles, 1)} | (information) | — |
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
