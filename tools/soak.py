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
import subprocess
import sys
import tempfile
import time

GAME_SECONDS = 15 * 60


def start_xvfb():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = ":" + f.readline().strip()
    return xvfb, display


def xdotool(env, *args, check=True):
    proc = subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True)
    if check and proc.returncode != 0:
        raise RuntimeError(f"xdotool {' '.join(args)}: {proc.stderr.strip()}")
    return proc.stdout.split()


def visible(env, name):
    return xdotool(env, "search", "--onlyvisible", "--name", name, check=False)


def size(env, window):
    out = subprocess.run(["xdotool", "getwindowgeometry", window], env=env, capture_output=True,
                         text=True).stdout
    for line in out.splitlines():
        if "Geometry:" in line:
            w, h = line.split(":")[1].strip().split("x")
            return int(w), int(h)
    return 0, 0


def wait_for(env, name, small, game, timeout):
    """A visible window with that title, a box (small) or the game's window; None on timeout."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if game.poll() is not None:
            return None
        for w in visible(env, name):
            width, _ = size(env, w)
            if (width < 600) == small:
                return w
        time.sleep(0.2)
    return None


def press(env, window, *keys):
    xdotool(env, "windowfocus", "--sync", window)
    xdotool(env, "key", "--clearmodifiers", *keys)


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

    xvfb, display = start_xvfb()
    home = tempfile.mkdtemp(prefix="vorandi-soak-")
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=home,
               XDG_DATA_HOME=os.path.join(home, "data"), LC_ALL="C.UTF-8")
    samples = []
    goodbye_after = {}
    game = subprocess.Popen([args.binary], env=env)
    try:
        ok = play(env, game, args.answers, samples, goodbye_after)
    finally:
        if game.poll() is None:
            game.kill()
        xvfb.terminate()
    record = pathlib.Path(home, "data", "vorandi")
    score = (record / "vora.txt").read_bytes() if (record / "vora.txt").exists() else b"<none>"
    holder = (record / "nvora.txt").read_bytes() if (record / "nvora.txt").exists() else b"<none>"
    rss = [kb for _, kb in samples if kb]
    print(f"exit code {game.returncode}; vora.txt {score!r}; nvora.txt {holder!r}")
    if rss:
        print(f"VmRSS over the game: first {rss[0]} kB, last {rss[-1]} kB, peak {max(rss)} kB, "
              f"{len(rss)} samples")
    saved = holder == b"Soak\r\n" and score.rstrip(b"\r\n").isdigit()
    ok = ok and game.returncode == 0 and (saved or score == b"")
    print("soak: " + ("the game ended by itself and kept its record" if ok else "FAILED"))
    if args.out:
        with open(args.out, "a", encoding="utf-8") as f:
            f.write(json.dumps({"kind": "realtime", "ok": ok, "exit": game.returncode,
                                "goodbye_after_s": round(goodbye_after.get("s", 0)),
                                "score": score.decode("cp1252").strip(),
                                "holder": holder.decode("cp1252").strip(),
                                "rss_first_kb": rss[0] if rss else None,
                                "rss_last_kb": rss[-1] if rss else None,
                                "rss_peak_kb": max(rss) if rss else None}) + "\n")
    return 0 if ok else 1


def play(env, game, answers, samples, goodbye_after):
    started = time.monotonic()
    prompt = wait_for(env, "^Vorandi$", True, game, 60)
    if not prompt:
        print("no name prompt appeared")
        return False
    xdotool(env, "windowfocus", "--sync", prompt)
    xdotool(env, "type", "--delay", "50", "Soak")
    press(env, prompt, "Return")
    time.sleep(1)
    greeting = wait_for(env, "^Vorandi$", True, game, 30)
    if not greeting:
        print("no greeting appeared")
        return False
    press(env, greeting, "Return")
    window = wait_for(env, "^Vorandi$", False, game, 30)
    if not window:
        print("the game's window did not appear")
        return False
    # "1" is right whenever the exponent is 0 or the base is 1.
    for i in range(answers):
        xdotool(env, "windowfocus", "--sync", window)
        xdotool(env, "type", "--delay", "30", "1" if i % 3 else str(i % 10))
        xdotool(env, "key", "Return")
        time.sleep(0.3)
        xdotool(env, "key", "Return")
        time.sleep(0.3)
        record = visible(env, "^Vorandi$")  # "E' record" comes as a box over the window
        for w in record:
            if w != window and size(env, w)[0] < 600:
                press(env, w, "Return")
    print(f"answered {answers} questions; waiting for the clock to run out")
    goodbye = None
    while goodbye is None and time.monotonic() - started < GAME_SECONDS + 120:
        samples.append((time.monotonic() - started, rss_kb(game.pid)))
        goodbye = wait_for(env, "^Data ", True, game, 30)
        if game.poll() is not None:
            print("the program ended before the goodbye box")
            return False
    if goodbye is None:
        print("no goodbye box after fifteen minutes")
        return False
    goodbye_after["s"] = time.monotonic() - started
    print(f"goodbye box after {goodbye_after['s']:.0f} s")
    press(env, goodbye, "Return")
    # A beaten record is confirmed by one more box; then the program ends by itself.
    deadline = time.monotonic() + 30
    while game.poll() is None and time.monotonic() < deadline:
        for w in visible(env, "^Vorandi$"):
            if size(env, w)[0] < 600:
                press(env, w, "Return")
        time.sleep(0.5)
    try:
        game.wait(timeout=10)
    except subprocess.TimeoutExpired:
        print("the program did not end after the goodbye box")
        return False
    return True


if __name__ == "__main__":
    sys.exit(main())
