#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The built program on a real X server, played with real key presses.

Two games: the first player answers every question with "1" (right whenever the exponent is 0 or
the base is 1, so some answers are right), starts a new game from the menu and confirms; the
second player minimizes and restores the window (its title shows the minutes left meanwhile),
answers nothing and leaves with Alt+X and Yes. The record files must then hold the
first player's score and name, each line ending in CR LF.

Usage: e2e_game.py PATH_TO_VORANDI
"""

import os
import re
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tools"))
import desktop  # noqa: E402  the X display, window manager and key driver
from desktop import Failure  # noqa: E402

QUESTIONS = 40
FIRST_PLAYER = "Zoe Rossi"
SECOND_PLAYER = "Bea"


def check_minimized_caption(desk, main):
    """Minimized, the window's title is the whole minutes left; restored, it is "Vorandi"."""
    desk.xdotool("windowminimize", main)
    minutes = desktop.game_seconds() // 60
    desk.wait(lambda: desk.title(main) in (str(minutes), str(minutes - 1)),
              "the minutes as the minimized window's title")
    desk.xdotool("windowactivate", main)
    desk.wait(lambda: desk.title(main) == "Vorandi", "the title back to Vorandi")


def play(env, program, records):
    app = desktop.launch([program], env)
    desk = desktop.Desktop(env, app)
    seen = set()
    try:
        # "1" is right whenever the exponent is 0 or the base is 1.
        main = desktop.start_game(desk, FIRST_PLAYER, seen)
        desktop.answer(desk, main, ["1"] * QUESTIONS)

        # NUOVO GIOCO, third on the menu bar, from the keyboard; Tab moves from No to Yes.
        desk.key("alt")
        desk.key("Right", "Right", "Return")
        question = desk.new_window(desktop.game_text("newGameTitle"), seen, "the new-game question")
        desk.key("Tab", "Return")
        desk.gone(question, "the new-game question to close")
        # The record check writes before it confirms, so the file tells which box comes next.
        box = desk.new_window("Vorandi", seen, "the record confirmation or the name prompt")
        if os.path.getsize(os.path.join(records, "vora.txt")) > 0:
            desk.key("Return")
        else:
            seen.discard(box)
        main = desktop.start_game(desk, SECOND_PLAYER, seen)
        check_minimized_caption(desk, main)

        desktop.leave_by_exit(desk, seen)
        desktop.wait_for_end(desk)
    finally:
        desktop.end_and_report(app)


def check_records(records, player=FIRST_PLAYER, questions=QUESTIONS):
    """The score of 1 to `questions` and the player's name in Windows-1252, each with CR LF."""
    with open(os.path.join(records, "vora.txt"), "rb") as f:
        score = f.read()
    with open(os.path.join(records, "nvora.txt"), "rb") as f:
        name = f.read()
    print(f"vora.txt {score!r}, nvora.txt {name!r}")
    match = re.fullmatch(rb"([1-9][0-9]*)\r\n", score)
    if not match or int(match.group(1)) > questions:
        raise Failure(f"vora.txt holds {score!r}, not a score of 1 to {questions} and CR LF")
    if name != player.encode("cp1252") + b"\r\n":
        raise Failure(f"nvora.txt holds {name!r}, not the player's name and CR LF")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    for tool in desktop.missing_tools():
        sys.exit(f"FAIL: {tool} is missing: run tools/install-deps.sh")
    with desktop.reported_failure(), tempfile.TemporaryDirectory() as home:
        env = desktop.home_env(home)
        records = os.path.join(home, "data", "vorandi")
        with desktop.managed_screen(env, home):
            play(env, program, records)
        check_records(records)
    print("A whole game and a new one, played with real keys: passed")


if __name__ == "__main__":
    main()
