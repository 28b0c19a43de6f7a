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
import select
import shutil
import subprocess
import sys
import tempfile
import time

QUESTIONS = 40
FIRST_PLAYER = "Zoe Rossi"
SECOND_PLAYER = "Bea"
DEADLINE = time.monotonic() + 100


class Failure(Exception):
    pass


def start_xvfb(env):
    """Starts Xvfb on a free display and returns (process, display)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
         "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], 10)
        chunk = os.read(read_end, 16) if ready else b""
        if not chunk:
            xvfb.kill()
            raise Failure("Xvfb did not report a display")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


class Desktop:
    def __init__(self, env, app):
        self.env = env
        self.app = app

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                                text=True, timeout=10)
        return result.stdout.split()

    def windows(self, title):
        """Visible windows whose title is exactly `title`."""
        return self.xdotool("search", "--onlyvisible", "--name", "^" + re.escape(title) + "$")

    def width(self, window):
        out = subprocess.run(["xdotool", "getwindowgeometry", window], env=self.env,
                             capture_output=True, text=True, timeout=10).stdout
        match = re.search(r"Geometry: (\d+)x(\d+)", out)
        return int(match.group(1)) if match else 0

    def wait(self, condition, what, seconds=15):
        limit = min(time.monotonic() + seconds, DEADLINE)
        while time.monotonic() < limit:
            value = condition()
            if value:
                return value
            if self.app.poll() is not None:
                raise Failure(f"the program ended (code {self.app.returncode}) "
                              f"while waiting for {what}")
            time.sleep(0.05)
        raise Failure(f"timed out waiting for {what}")

    def new_window(self, title, seen, what):
        """Waits for a visible window with this title that is not among `seen`."""
        def found():
            fresh = [w for w in self.windows(title) if w not in seen]
            return fresh[0] if fresh else None
        window = self.wait(found, what)
        seen.add(window)
        return window

    def gone(self, window, what):
        self.wait(lambda: window not in self.windows_all(), what)

    def windows_all(self):
        return self.xdotool("search", "--onlyvisible", "--name", ".")

    def key(self, *keys):
        self.xdotool("key", "--delay", "40", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", "40", text)

    def close_boxes(self, main):
        """Closes the untitled boxes ("E' record") over the main window with Enter."""
        for _ in range(5):
            boxes = [w for w in self.windows("Vorandi") if w != main]
            if not boxes:
                return
            self.key("Return")
            self.wait(lambda: boxes[0] not in self.windows("Vorandi"), "a box to close")
        raise Failure("boxes keep opening")


def start_game(desk, name, seen):
    desk.new_window("Vorandi", seen, f"the name prompt for {name}")
    desk.type(name)
    desk.key("Return")
    desk.new_window("Vorandi", seen, "the greeting")
    desk.key("Return")
    main = desk.wait(lambda: next((w for w in desk.windows("Vorandi")
                                   if w not in seen and desk.width(w) > 600), None),
                     "the game window")
    seen.add(main)
    return main


def start_window_manager(env, log_path):
    """Starts openbox and waits until it manages the screen; a failed start is tried again."""
    for attempt in range(3):
        with open(log_path, "w") as log:
            wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=log,
                                  stderr=subprocess.STDOUT)
        limit = time.monotonic() + 10
        while wm.poll() is None and time.monotonic() < limit:
            check = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                                   capture_output=True, text=True, timeout=10)
            if "window id" in check.stdout:
                return wm
            time.sleep(0.05)
        if wm.poll() is None:
            wm.kill()
        wm.wait()
        with open(log_path) as log:
            print(f"openbox did not start (attempt {attempt + 1}): {log.read().strip()}")
    raise Failure("no window manager")


def check_minimized_caption(desk, main):
    """Minimized, the window's title is the whole minutes left; restored, it is "Vorandi"."""
    def title():
        out = subprocess.run(["xdotool", "getwindowname", main], env=desk.env,
                             capture_output=True, text=True, timeout=10).stdout
        return out.rstrip("\n")
    desk.xdotool("windowminimize", main)
    desk.wait(lambda: title() in ("15", "14"), "the minutes as the minimized window's title")
    desk.xdotool("windowactivate", main)
    desk.wait(lambda: title() == "Vorandi", "the title back to Vorandi")


def end_and_report(app):
    """Ends the program if it still runs, and prints what it wrote."""
    if app.poll() is None:
        app.kill()
    output = app.communicate(timeout=10)[0].decode(errors="replace")
    if output.strip():
        print(output.strip())


def play(env, program, records):
    app = subprocess.Popen([program], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT)
    desk = Desktop(env, app)
    seen = set()
    try:
        main = start_game(desk, FIRST_PLAYER, seen)
        for _ in range(QUESTIONS):
            desk.close_boxes(main)
            desk.type("1")
            desk.key("Return", "Return")
        desk.close_boxes(main)

        # NUOVO GIOCO, third on the menu bar, from the keyboard; Tab moves from No to Yes.
        desk.key("alt")
        desk.key("Right", "Right", "Return")
        question = desk.new_window("INIZIARE NUOVA GARA", seen, "the new-game question")
        desk.key("Tab", "Return")
        desk.gone(question, "the new-game question to close")
        # The record check writes before it confirms, so the file tells which box comes next.
        box = desk.new_window("Vorandi", seen, "the record confirmation or the name prompt")
        if os.path.getsize(os.path.join(records, "vora.txt")) > 0:
            desk.key("Return")
        else:
            seen.discard(box)
        main = start_game(desk, SECOND_PLAYER, seen)
        check_minimized_caption(desk, main)

        desk.key("alt+x")
        desk.new_window("Uscire dal programma", seen, "the exit question")
        desk.key("Tab", "Return")
        desk.wait(lambda: app.poll() is not None, "the program to end")
        if app.returncode != 0:
            raise Failure(f"the program ended with code {app.returncode}")
    finally:
        end_and_report(app)


def check_records(records):
    with open(os.path.join(records, "vora.txt"), "rb") as f:
        score = f.read()
    with open(os.path.join(records, "nvora.txt"), "rb") as f:
        name = f.read()
    print(f"vora.txt {score!r}, nvora.txt {name!r}")
    match = re.fullmatch(rb"([1-9][0-9]*)\r\n", score)
    if not match or int(match.group(1)) > QUESTIONS:
        raise Failure(f"vora.txt holds {score!r}, not a score of 1 to {QUESTIONS} and CR LF")
    if name != FIRST_PLAYER.encode("cp1252") + b"\r\n":
        raise Failure(f"nvora.txt holds {name!r}, not the first player's name and CR LF")


def stop(process):
    if process is None:
        return
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    for tool in ("Xvfb", "xdotool", "xprop", "openbox"):
        if not shutil.which(tool):
            sys.exit(f"FAIL: {tool} is missing: run tools/install-deps.sh")
    with tempfile.TemporaryDirectory() as home:
        env = {k: v for k, v in os.environ.items() if k != "WAYLAND_DISPLAY"}
        runtime = os.path.join(home, "run")
        os.mkdir(runtime, 0o700)
        env.update(HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_CACHE_HOME=os.path.join(home, "cache"), XDG_RUNTIME_DIR=runtime,
                   QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8")
        xvfb = wm = None
        try:
            xvfb, env["DISPLAY"] = start_xvfb(env)
            # Without a window manager nobody gives the window back the focus when a box closes.
            wm = start_window_manager(env, os.path.join(home, "openbox.log"))
            records = os.path.join(home, "data", "vorandi")
            play(env, program, records)
            check_records(records)
        except Failure as failure:
            print(f"FAIL: {failure}")
            sys.exit(1)
        finally:
            stop(wm)
            stop(xvfb)
    print("A whole game and a new one, played with real keys: passed")


if __name__ == "__main__":
    main()
