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

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [here, os.path.join(here, os.pardir, "tools")]
import desktop  # noqa: E402  the X display, window manager and key driver
from desktop import Failure  # noqa: E402
from e2e_game import check_records  # noqa: E402

QUESTIONS = 20
PLAYER = "Nicolò"
WINE_SECONDS = 240  # Wine starts slower than a native program


def play(env, wine, program):
    app = desktop.launch([wine, program], env)
    desk = desktop.Desktop(env, app, WINE_SECONDS, settle=0.3)
    seen = set()
    try:
        # "1" is right whenever the exponent is 0 or the base is 1.
        main = desktop.start_game(desk, PLAYER, seen)
        desktop.answer(desk, main, ["1"] * QUESTIONS)
        desktop.leave_by_exit(desk, seen)
        desk.new_window("Vorandi", seen, "the record confirmation")
        desk.key("Return")
        desktop.wait_for_end(desk, seconds=30)
    finally:
        desktop.end_and_report(app)


def play_a_game(wine, program, prefix, records=None):
    """One game of program in the Wine installation at prefix, its record checked after in
    records (C:\\ProgramData\\Vorandi unless given)."""
    records = records or os.path.join(prefix, "drive_c", "ProgramData", "Vorandi")
    with tempfile.TemporaryDirectory() as home:
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                   LC_ALL="C.UTF-8")
        with desktop.managed_screen(env, home):
            # An Italian keyboard, as at school: "ò" is a key of its own. Wine reads the key map
            # once, so the key xdotool would borrow for a letter missing from the map is lost.
            subprocess.run(["setxkbmap", "it"], env=env, check=True)
            try:
                play(env, wine, program)
            finally:
                subprocess.run([os.path.join(os.path.dirname(wine), "wineserver"), "-k"],
                               env=env, capture_output=True)
        try:
            check_records(records, PLAYER, QUESTIONS)
        except OSError as error:
            raise Failure(f"no record files in {records}: {error}")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    wine, program, prefix = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    for tool in desktop.missing_tools("setxkbmap"):
        sys.exit(f"FAIL: {tool} is missing: run tools/install-deps.sh windows")
    shutil.rmtree(os.path.join(prefix, "drive_c", "ProgramData", "Vorandi"), ignore_errors=True)
    with desktop.reported_failure():
        play_a_game(wine, program, prefix)
    print("A game of vorandi.exe under Wine, played with real keys: passed")


if __name__ == "__main__":
    main()
