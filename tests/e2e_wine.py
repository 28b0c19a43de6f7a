#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Windows program under Wine on a virtual X display, played with real key presses.

The record folder C:\\ProgramData\\Vorandi of the Wine installation is removed first, so the
game starts from an empty record.
The player types a name with an accented letter, answers "1" (right whenever the exponent is 0
or the base is 1) until some answers are right, leaves with Alt+X and "Sì", and confirms the
new record. The record files must then hold the score and the name in Windows-1252, each line
ending in CR LF.

Usage: e2e_wine.py WINE VORANDI_EXE WINEPREFIX
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_game as desktop  # noqa: E402  the X display, window manager and key driver

QUESTIONS = 20
PLAYER = "Nicolò"
desktop.DEADLINE = time.monotonic() + 240  # Wine starts slower than a native program


def play(env, wine, program):
    app = subprocess.Popen([wine, program], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT)
    desk = desktop.Desktop(env, app)
    seen = set()
    try:
        main = desktop.start_game(desk, PLAYER, seen)
        for _ in range(QUESTIONS):
            desk.close_boxes(main)
            desk.type("1")
            desk.key("Return", "Return")
        desk.close_boxes(main)
        desk.key("alt+x")
        desk.new_window("Uscire dal programma", seen, "the exit question")
        desk.key("Tab", "Return")  # from the default No to Sì
        desk.new_window("Vorandi", seen, "the record confirmation")
        desk.key("Return")
        desk.wait(lambda: app.poll() is not None, "the program to end", seconds=30)
        if app.returncode != 0:
            raise desktop.Failure(f"the program ended with code {app.returncode}")
    finally:
        desktop.end_and_report(app)


def check_records(records):
    """The score of 1 to QUESTIONS and the name in Windows-1252, each with CR LF."""
    desktop.QUESTIONS, desktop.FIRST_PLAYER = QUESTIONS, PLAYER
    try:
        desktop.check_records(records)
    except OSError as error:
        raise desktop.Failure(f"no record files in {records}: {error}")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    wine, program, prefix = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    for tool in ("Xvfb", "xdotool", "xprop", "openbox", "setxkbmap"):
        if not shutil.which(tool):
            sys.exit(f"FAIL: {tool} is missing: run tools/install-deps.sh windows")
    records = os.path.join(prefix, "drive_c", "ProgramData", "Vorandi")
    shutil.rmtree(records, ignore_errors=True)
    with tempfile.TemporaryDirectory() as home:
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                   LC_ALL="C.UTF-8")
        xvfb = wm = None
        try:
            xvfb, env["DISPLAY"] = desktop.start_xvfb(env)
            # An Italian keyboard, as at school: "ò" is a key of its own. Wine reads the key map
            # once, so the key xdotool would borrow for a letter missing from the map is lost.
            subprocess.run(["setxkbmap", "it"], env=env, check=True)
            wm = desktop.start_window_manager(env, os.path.join(home, "openbox.log"))
            play(env, wine, program)
            check_records(records)
        except desktop.Failure as failure:
            print(f"FAIL: {failure}")
            sys.exit(1)
        finally:
            desktop.stop(wm)
            desktop.stop(xvfb)
            subprocess.run([os.path.join(os.path.dirname(wine), "wineserver"), "-k"],
                           env={**env, "WINEPREFIX": prefix}, capture_output=True)
    print("A game of vorandi.exe under Wine, played with real keys: passed")


if __name__ == "__main__":
    main()
