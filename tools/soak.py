#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A whole game in real time: the program under Xvfb, driven with xdotool like a child would.

It types a name, answers questions for a while, then leaves the clock to run out. The game must
end by itself after fifteen minutes with the goodbye box, save the record, and exit with code 0;
the program's memory is sampled all along. About sixteen minutes; not part of `make test`.

  soak.py --binary build/src/vorandi [--answers 40]
"""
import argparse
import json
import os
import pathlib
import re
import sys
import tempfile
import time

import desktop
from desktop import Failure

GAME_SECONDS = desktop.game_seconds()
# The goodbye box's title, up to its date.
GOODBYE_TITLE = "^" + re.escape(desktop.game_text("goodbyeTitle").split("%1")[0])


def rss_kb(pid):
    try:
        for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except OSError:
        pass
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--answers", type=int, default=40, help="questions answered at first")
    parser.add_argument("--out", help="JSON lines file for tools/reliability.py")
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="vorandi-soak-")
    env = desktop.home_env(home)
    samples = []
    goodbye_after = {}
    game = None
    try:
        with desktop.managed_screen(env, home):
            game = desktop.launch([args.binary], env)
            try:
                play(desktop.Desktop(env, game, GAME_SECONDS + 300), args.answers, samples,
                     goodbye_after)
            finally:
                desktop.end_and_report(game)
        ok = True
    except Failure as failure:
        print(failure)
        ok = False
    record = pathlib.Path(home, "data", "vorandi")
    score = (record / "vora.txt").read_bytes() if (record / "vora.txt").exists() else b"<none>"
    holder = (record / "nvora.txt").read_bytes() if (record / "nvora.txt").exists() else b"<none>"
    rss = [kb for _, kb in samples if kb]
    code = game.returncode if game is not None else None
    print(f"exit code {code}; vora.txt {score!r}; nvora.txt {holder!r}")
    if rss:
        print(f"VmRSS over the game: first {rss[0]} kB, last {rss[-1]} kB, peak {max(rss)} kB, "
              f"{len(rss)} samples")
    saved = holder == b"Soak\r\n" and score.rstrip(b"\r\n").isdigit()
    ok = ok and code == 0 and (saved or score == b"")
    print("soak: " + ("the game ended by itself and kept its record" if ok else "FAILED"))
    if args.out:
        with open(args.out, "a", encoding="utf-8") as f:
            f.write(json.dumps({"kind": "realtime", "ok": ok, "exit": code,
                                "goodbye_after_s": round(goodbye_after.get("s", 0)),
                                "score": score.decode("cp1252").strip(),
                                "holder": holder.decode("cp1252").strip(),
                                "rss_first_kb": rss[0] if rss else None,
                                "rss_last_kb": rss[-1] if rss else None,
                                "rss_peak_kb": max(rss) if rss else None}) + "\n")
    return 0 if ok else 1


def play(desk, answers, samples, goodbye_after):
    started = time.monotonic()
    seen = set()
    main = desktop.start_game(desk, "Soak", seen, seconds=60)
    # "1" is right whenever the exponent is 0 or the base is 1; every third answer differs.
    desktop.answer(desk, main, ("1" if i % 3 else str(i % 10) for i in range(answers)))
    print(f"answered {answers} questions; waiting for the clock to run out")
    goodbye = None
    while goodbye is None and time.monotonic() - started < GAME_SECONDS + 120:
        samples.append((time.monotonic() - started, rss_kb(desk.app.pid)))
        goodbye = desk.within(lambda: next(iter(desk.windows_matching(GOODBYE_TITLE)), None),
                              "the goodbye box", seconds=30)
    if goodbye is None:
        raise Failure("no goodbye box after fifteen minutes")
    goodbye_after["s"] = time.monotonic() - started
    print(f"goodbye box after {goodbye_after['s']:.0f} s")
    desk.key("Return")
    # A beaten record is confirmed by one more box; then the program ends by itself.
    def ended_or_box():
        return desk.app.poll() is not None or [w for w in desk.windows("Vorandi") if w != main]
    if desk.wait(ended_or_box, "the record box or the end", seconds=30) is not True:
        desk.key("Return")
    desktop.wait_for_end(desk, seconds=30)


if __name__ == "__main__":
    sys.exit(main())
