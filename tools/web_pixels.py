#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The game's window in a browser against the desktop's offscreen picture of the same state.

Plays the web folder in headless Chromium up to a fresh game (the record "Giulia" 12 put into the
browser's storage first, the name "Anna"), grabs the window from the page, has the desktop's
screenshot tool draw the same question, and compares: the size of the window and how many pixels
differ (the ticking clock left out). Writes the two side by side, and where they differ.

Usage: web_pixels.py DIST_FOLDER SCREENSHOT_TOOL OUT.png [--budget PERCENT]
With a budget, fails when the form does not fit the page's window at the same place or more
pixels than that differ.
"""

import argparse

import base64
import io
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tests"))
import e2e_web  # noqa: E402  the server, the browser and the page driver

RECORD = """new Promise(done => {
  const open = indexedDB.open('vorandi', 1);
  open.onupgradeneeded = () => open.result.createObjectStore('record');
  open.onsuccess = () => {
    const store = open.result.transaction('record', 'readwrite').objectStore('record');
    store.put(new Uint8Array([49, 50, 13, 10]), 'vora.txt');
    store.put(new TextEncoder().encode('Giulia\\r\\n'), 'nvora.txt');
    store.transaction.oncomplete = () => { open.result.close(); done(true); };
  };
})"""
# A pixel counts as different when a colour channel is further off than this.
TOLERANCE = 48


def page_window(folder):
    """The game's window as the page draws it, and its description."""
    server = e2e_web.serve(folder)
    browser = e2e_web.Browser(f"http://127.0.0.1:{server.server_address[1]}/index.html")
    try:
        tab = browser.open()
        tab.wait_box(e2e_web.NAME_PROMPT, "the name prompt")
        tab.evaluate(RECORD, await_promise=True)
        tab.call("Page.reload")
        e2e_web.start_game(tab, "Anna")
        # The game fills the page: a page of the design's window's size shows it at its own size.
        bar = tab.wait_box("Risposte errate", "the game's window")["places"]["QMenuBar"][3]
        width, height = e2e_web.DESIGN_WINDOW
        tab.call("Emulation.setDeviceMetricsOverride", width=width, height=height + bar,
                 deviceScaleFactor=1, mobile=False)

        def at_design_size():
            shown = tab.wait_box("Risposte errate", "the game's window")
            x, y, w, h = e2e_web.DESIGN_BUTTONS["cmdNext"]
            return shown["places"]["cmdNext"] == [x, y + bar, w, h] and shown
        window = e2e_web.wait(at_design_size, "the window at the design's size")
        x, y, width, height = window["geometry"]
        shot = tab.call("Page.captureScreenshot", format="png",
                        clip={"x": x, "y": y, "width": width, "height": height, "scale": 1})
        return Image.open(io.BytesIO(base64.b64decode(shot["data"]))).convert("RGB"), window
    finally:
        browser.close()
        server.shutdown()


def desktop_window(tool, base, exponent):
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "desktop.png")
        subprocess.run([tool, "fresh", out, str(base), str(exponent)], check=True,
                       env=dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                       stderr=subprocess.DEVNULL)
        return Image.open(out).convert("RGB")


def differing(page, desktop, leave_out):
    """The share of pixels off by more than TOLERANCE in some channel, leave_out excepted."""
    diff = ImageChops.difference(page, desktop).convert("L").point(
        lambda v: 255 if v > TOLERANCE // 3 else 0)
    for x, y, w, h in leave_out:
        diff.paste(0, (x, y, x + w, y + h))
    counted = page.width * page.height - sum(w * h for _, _, w, h in leave_out)
    return diff.histogram()[255] / counted, diff


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("tool")
    parser.add_argument("out")
    parser.add_argument("--budget", type=float, help="most pixels that may differ, in percent")
    args = parser.parse_args()
    out = args.out
    page, window = page_window(os.path.abspath(args.folder))
    texts = window["texts"]
    desktop = desktop_window(args.tool, int(texts["lblNum1"]), int(texts["lblNum2"]))
    print(f"window: page {page.size}, desktop {desktop.size}")
    side = Image.new("RGB", (page.width + desktop.width + 8, max(page.height, desktop.height)),
                     (64, 64, 64))
    side.paste(page, (0, 0))
    side.paste(desktop, (page.width + 8, 0))
    side.save(out, optimize=True)
    if page.size != desktop.size:
        print("FAIL: the form does not fit the page's window: no pixel comparison", file=sys.stderr)
        return 1
    share, diff = differing(page, desktop, [window["places"]["lblconto"]])
    diff.save(os.path.splitext(out)[0] + "-diff.png")
    print(f"pixels differing from the desktop's (the clock left out): {100 * share:.2f} %")
    if args.budget is not None and 100 * share > args.budget:
        print(f"FAIL: more than {args.budget} % of the pixels differ ({out})", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
