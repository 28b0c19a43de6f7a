# SPDX-License-Identifier: GPL-3.0-or-later
"""The real program on a private X display, driven as a person would: with xdotool's keys.

One driver for every script that plays the built program on a desktop: the end-to-end tests
(native, under Wine, through the accessibility bus), the soak and the start-up benchmark. It
starts Xvfb and a window manager, finds windows by title, sends keys and waits; the last part
knows the game's own windows (the name prompt, the greeting, the "E' record" boxes).

Scripts outside tools/ import it after putting tools/ on sys.path.
"""

import contextlib
import os
import re
import select
import shutil
import subprocess
import sys
import time

TOOLS = ("Xvfb", "xdotool", "xprop", "openbox")
# Wider than any of the program's boxes, narrower than its window.
MAIN_WINDOW_MIN_WIDTH = 600


class Failure(Exception):
    pass


def rules_header(name):
    """The text of a header of the rules (src/rules/)."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "src", "rules", name)
    with open(path, encoding="utf-8") as text:
        return text.read()


def game_seconds():
    """A game's length as the rules give it (game::gameSeconds), so that no script repeats it."""
    found = re.search(r"constexpr int gameSeconds = (\d+);", rules_header("drill.h"))
    if not found:
        raise Failure("no gameSeconds in src/rules/drill.h")
    return int(found.group(1))


def game_text(name, *values):
    """A text of the game as its table gives it (game::text::<name>, src/rules/texts.h), %1, %2
    filled in with the values, so that no script repeats it."""
    literals = r'((?:\s*"(?:[^"\\]|\\.)*")+)'
    found = re.search(rf"inline const QString {name} =\s*QStringLiteral\({literals}\);",
                      rules_header("texts.h"))
    if not found:
        raise Failure(f"no text {name} in src/rules/texts.h")
    pieces = re.findall(r'"((?:[^"\\]|\\.)*)"', found.group(1))
    text = re.sub(r"\\(.)", r"\1", "".join(pieces))
    for number, value in enumerate(values, start=1):
        text = text.replace(f"%{number}", str(value))
    return text


def spoken_pattern(name):
    """A pattern for a game's text as a screen reader says it: its words, however it spaces them
    or sounds the question mark at their end."""
    words = game_text(name).replace("?", " ").split()
    return r"\s+".join(re.escape(word) for word in words)


@contextlib.contextmanager
def reported_failure():
    """A Failure in the with block ends the script: FAIL, the reason, exit code 1."""
    try:
        yield
    except Failure as failure:
        print(f"FAIL: {failure}")
        sys.exit(1)


def program_on_session_bus(usage):
    """The program named on the command line, for a script that talks to it over the session's
    D-Bus (the accessibility bus is found through it); ends with the usage or the reason."""
    if len(sys.argv) != 2:
        sys.exit(usage)
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        sys.exit("FAIL: no D-Bus session: run under dbus-run-session")
    return os.path.abspath(sys.argv[1])


def missing_tools(*more):
    """The desktop programs, and any more a script needs, not on PATH."""
    return [tool for tool in (*TOOLS, *more) if not shutil.which(tool)]


def home_env(home, **extra):
    """This environment with a home, data, configuration and runtime folder of its own in home,
    the X11 platform and a UTF-8 locale: what a player's session would give the program."""
    runtime = os.path.join(home, "run")
    os.makedirs(runtime, 0o700, exist_ok=True)
    env = {k: v for k, v in os.environ.items() if k != "WAYLAND_DISPLAY"}
    env.update(HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_CACHE_HOME=os.path.join(home, "cache"), XDG_RUNTIME_DIR=runtime,
               QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8")
    env.update(extra)
    return env


def start_xvfb(env=None, seconds=30):
    """Starts Xvfb on a display it picks itself and returns (process, display). It does not reset
    when its last client goes, so programs may come and go one after another."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-noreset"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    os.close(write_end)
    number = b""
    limit = time.monotonic() + seconds
    while not number.endswith(b"\n") and time.monotonic() < limit:
        ready, _, _ = select.select([read_end], [], [], 1)
        if not ready:
            continue
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip().isdigit():
        xvfb.kill()
        xvfb.wait()
        raise Failure("Xvfb did not report a display")
    return xvfb, ":" + number.decode().strip()


@contextlib.contextmanager
def virtual_screen(env=None):
    """Xvfb for the length of a with block; its display."""
    xvfb, display = start_xvfb(env)
    try:
        yield display
    finally:
        stop(xvfb)


def start_window_manager(env, log_path):
    """Starts openbox and waits until it manages the screen; a failed start is tried again.
    Without a window manager nobody gives the window back the focus when a box closes."""
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


@contextlib.contextmanager
def managed_screen(env, home):
    """Xvfb and a window manager (its log in home) for the length of a with block; env gets
    their DISPLAY."""
    xvfb = wm = None
    try:
        xvfb, env["DISPLAY"] = start_xvfb(env)
        wm = start_window_manager(env, os.path.join(home, "openbox.log"))
        yield env
    finally:
        stop(wm)
        stop(xvfb)


def stop(process):
    """Ends a helper process (the X server, the window manager), politely first."""
    if process is None:
        return
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def launch(command, env):
    """Starts the program, its output and errors kept for end_and_report."""
    return subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)


def end_and_report(app):
    """Ends the program if it still runs, and prints what it wrote."""
    if app.poll() is None:
        app.kill()
    output = app.communicate(timeout=10)[0]
    if output and output.strip():
        print(output.decode(errors="replace").strip())


def xdotool(env, *args, check=False):
    """Runs xdotool on env's display and returns the words it printed."""
    result = subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                            timeout=20)
    if check and result.returncode != 0:
        raise Failure(f"xdotool {' '.join(args)}: {result.stderr.strip()}")
    return result.stdout.split()


class Desktop:
    """The display of env as the program `app` runs on it; every wait ends `seconds` from now at
    the latest, and as soon as the program ends."""

    def __init__(self, env, app, seconds=100, settle=0.0):
        self.env = env
        self.app = app
        self.limit = time.monotonic() + seconds
        # Wine shows a window before it gives the keyboard to the window's control: the seconds
        # to leave after the window has become the active one.
        self.settle = settle

    def xdotool(self, *args):
        return xdotool(self.env, *args)

    def windows_matching(self, pattern):
        """Visible windows whose title matches the regular expression."""
        return self.xdotool("search", "--onlyvisible", "--name", pattern)

    def windows(self, title):
        """Visible windows whose title is exactly `title`."""
        return self.windows_matching("^" + re.escape(title) + "$")

    def windows_all(self):
        return self.windows_matching(".")

    def width(self, window):
        out = subprocess.run(["xdotool", "getwindowgeometry", window], env=self.env,
                             capture_output=True, text=True, timeout=10).stdout
        match = re.search(r"Geometry: (\d+)x(\d+)", out)
        return int(match.group(1)) if match else 0

    def title(self, window):
        out = subprocess.run(["xdotool", "getwindowname", window], env=self.env,
                             capture_output=True, text=True, timeout=10).stdout
        return out.rstrip("\n")

    def within(self, condition, what, seconds=15):
        """The condition's first true value within the time, or None."""
        limit = min(time.monotonic() + seconds, self.limit)
        while time.monotonic() < limit:
            value = condition()
            if value:
                return value
            if self.app.poll() is not None:
                raise Failure(f"the program ended (code {self.app.returncode}) "
                              f"while waiting for {what}")
            time.sleep(0.05)
        return None

    def wait(self, condition, what, seconds=15):
        """The condition's first true value; a Failure once the time is up."""
        value = self.within(condition, what, seconds)
        if not value:
            raise Failure(f"timed out waiting for {what}")
        return value

    def new_window(self, title, seen, what, seconds=15):
        """Waits for a visible window with this title that is not among `seen`."""
        def found():
            fresh = [w for w in self.windows(title) if w not in seen]
            return fresh[0] if fresh else None
        window = self.wait(found, what, seconds)
        seen.add(window)
        self.await_keys(window)
        return window

    def await_keys(self, window):
        """Waits until the window is the active one, so that keys sent next reach it."""
        if not self.within(lambda: window in self.xdotool("getactivewindow"),
                           "the window to become active", seconds=5):
            self.xdotool("windowactivate", "--sync", window)
        time.sleep(self.settle)

    def gone(self, window, what):
        self.wait(lambda: window not in self.windows_all(), what)

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window)

    def key(self, *keys):
        self.xdotool("key", "--delay", "40", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", "40", text)


# --- The game's own windows ---------------------------------------------------------------------

def start_game(desk, name, seen, seconds=15, prompt_shown=lambda: None):
    """Types the name into the prompt, closes the greeting; the game's window."""
    desk.new_window("Vorandi", seen, f"the name prompt for {name}", seconds)
    prompt_shown()
    desk.type(name)
    desk.key("Return")
    desk.new_window("Vorandi", seen, "the greeting", seconds)
    desk.key("Return")
    main = desk.wait(lambda: next((w for w in desk.windows("Vorandi") if w not in seen and
                                   desk.width(w) > MAIN_WINDOW_MIN_WIDTH), None),
                     "the game window", seconds)
    seen.add(main)
    return main


def close_boxes(desk, main):
    """Closes the untitled boxes ("E' record") over the main window with Enter."""
    for _ in range(5):
        boxes = [w for w in desk.windows("Vorandi") if w != main]
        if not boxes:
            return
        desk.await_keys(boxes[0])
        desk.key("Return")
        desk.wait(lambda: boxes[0] not in desk.windows("Vorandi"), "a box to close")
    raise Failure("boxes keep opening")


def answer(desk, main, answers):
    """Types each answer with Enter, and Enter again for the next question."""
    for text in answers:
        close_boxes(desk, main)
        desk.type(text)
        desk.key("Return", "Return")
    close_boxes(desk, main)


def leave_by_exit(desk, seen):
    """Alt+X, and Sì: Tab moves there from the default No."""
    desk.key("alt+x")
    desk.new_window(game_text("leaveTitle"), seen, "the exit question")
    desk.key("Tab", "Return")


def wait_for_end(desk, seconds=15):
    """Waits for the program to end; a Failure unless it ends well."""
    desk.wait(lambda: desk.app.poll() is not None, "the program to end", seconds)
    if desk.app.returncode != 0:
        raise Failure(f"the program ended with code {desk.app.returncode}")
