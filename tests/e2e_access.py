#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The built program as a screen reader sees it, through the accessibility bus (AT-SPI).

Under Xvfb, a window manager and a D-Bus session of its own, a player answers one question
wrongly and follows the game by what the bus tells: the answer box is named with the question;
after Enter the focus moves to "Nuovo calcolo", which carries the verdict and the counts; the
counters are named with their headings; the clock is read on request and never announced. Then
F10 and the arrows reach NUOVO GIOCO through the menu bar, and Alt+X the exit box.

Usage: dbus-run-session -- e2e_access.py PATH_TO_VORANDI
"""

import os
import re
import subprocess
import sys
import tempfile
import time

from gi.repository import GLib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tools"))
import desktop  # noqa: E402  the X display, window manager and key driver
from desktop import Failure  # noqa: E402

LIMIT = time.monotonic() + 90
pyatspi = None  # imported once the accessibility bus runs


class Bus:
    """What the accessibility bus reports: focus moves and name or description changes."""

    def __init__(self):
        self.events = []
        pyatspi.Registry.registerEventListener(
            self.events.append, "object:state-changed:focused",
            "object:property-change:accessible-name",
            "object:property-change:accessible-description")

    def pump(self, seconds):
        context = GLib.MainContext.default()
        limit = time.monotonic() + seconds
        while time.monotonic() < limit:
            while context.iteration(False):
                pass
            time.sleep(0.02)

    def wait(self, condition, what, seconds=15):
        limit = min(time.monotonic() + seconds, LIMIT)
        while time.monotonic() < limit:
            self.pump(0.05)
            value = condition()
            if value:
                return value
        raise Failure(f"timed out waiting for {what}")


def application(name="Vorandi"):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == name:
            return app
    return None


def find(app, role, pattern):
    """The first object of this role whose name matches the pattern."""
    if app is None:
        return None
    found = pyatspi.findDescendant(
        app, lambda a: a is not None and a.getRole() == role and re.fullmatch(pattern, a.name))
    return found


def focused_name(bus, role):
    """The name of the last object of this role that took the focus, as the event told."""
    for event in reversed(bus.events):
        if event.type.startswith("object:state-changed:focused") and event.detail1 == 1:
            try:
                if event.source.getRole() == role:
                    return event.source
            except Exception:
                continue
    return None


def check_question(bus, app):
    box = bus.wait(lambda: find(app, pyatspi.ROLE_TEXT, r"Quanto fa \d+ alla \d\?"),
                   "the answer box named with the question")
    base, exponent = map(int, re.fullmatch(r"Quanto fa (\d+) alla (\d)\?", box.name).groups())
    print(f"question: {box.name!r}")
    return base ** exponent


def box_text(app):
    box = find(app, pyatspi.ROLE_TEXT, r"Quanto fa .*")
    box.clearCache()
    return box.queryText().getText(0, -1)


def check_editing_keys(bus, desk, app):
    """Delete deletes and a dead key with a letter types nothing, as real keys of a keyboard."""
    desk.type("12")
    desk.key("Home", "Delete")
    bus.wait(lambda: box_text(app) == "2", "Delete to delete the first digit")
    desk.key("dead_acute", "e", "End", "BackSpace")
    bus.wait(lambda: box_text(app) == "", "the box empty: no accented letter got in")


def check_verdict(bus, desk, app, expected):
    bus.events.clear()
    wrong = str(expected + 1)
    desk.type(wrong)
    desk.key("Return")
    button = bus.wait(lambda: focused_name(bus, pyatspi.ROLE_PUSH_BUTTON),
                      "the focus on Nuovo calcolo")
    spoken = f"{button.name}: {button.description}"
    print(f"focus after Enter: {spoken!r}")
    want = (f"Nuovo calcolo: {desktop.game_text('wrongSpoken', expected)}. Risposte esatte: 0, "
            f"errate: 1, totali: 1")
    if spoken != want:
        raise Failure(f"the focused button says {spoken!r}, not {want!r}")
    for name in ("Risposte esatte: 0", "Risposte errate: 1", "Risposte totali: 1"):
        bus.wait(lambda: find(app, pyatspi.ROLE_LABEL, re.escape(name)), f"a counter {name!r}")


def check_clock(bus, app):
    clock = bus.wait(lambda: find(app, pyatspi.ROLE_LABEL,
                                  r"Tempo restante: \d+ minut[oi]( e \d+ second[oi])?"),
                     "the clock named with its heading, in words")
    first = clock.name
    bus.events.clear()
    bus.pump(2.5)
    clock.clearCache()
    second = clock.name
    print(f"clock read on request: {first!r}, then {second!r}")
    if first == second:
        raise Failure("the clock read on request did not move")
    told = [e for e in bus.events if e.type.startswith("object:property-change")
            and e.source == clock]
    if told:
        raise Failure(f"the clock announced {len(told)} changes in 2.5 seconds")


def check_next_question(bus, desk, app):
    bus.events.clear()
    desk.key("Return")
    box = bus.wait(lambda: focused_name(bus, pyatspi.ROLE_TEXT), "the focus back in the box")
    if not re.fullmatch(r"Quanto fa \d+ alla \d\?", box.name):
        raise Failure(f"the box took the focus as {box.name!r}")
    print(f"focus on the next question: {box.name!r}")


def top_window(title):
    """The program's top-level window of this title, as the bus lists it now."""
    app = application()
    if app is None:
        return None
    app.clearCache()
    return next((w for w in app if w is not None and w.name == title), None)


def check_new_game_by_keys(bus, desk):
    desk.key("F10")
    desk.key("Right", "Right", "Return")
    box = bus.wait(lambda: top_window(desktop.game_text("newGameTitle")),
                   "the new-game question reached by keys")
    print(f"F10, Right, Right, Return: {box.getRoleName()} {box.name!r}")
    desk.key("Escape")


def play(env, program):
    app_process = desktop.launch([program], env)
    desk = desktop.Desktop(env, app_process)
    seen = set()
    try:
        desktop.start_game(desk, "Zoe", seen)
        bus = Bus()
        app = bus.wait(application, "the program on the accessibility bus")
        expected = check_question(bus, app)
        check_editing_keys(bus, desk, app)
        check_verdict(bus, desk, app, expected)
        check_clock(bus, app)
        check_next_question(bus, desk, app)
        check_new_game_by_keys(bus, desk)
        desk.key("alt+x")
        box = bus.wait(lambda: top_window(desktop.game_text("leaveTitle")), "the exit box")
        print(f"Alt+X: {box.getRoleName()} {box.name!r}")
        desk.key("Tab", "Return")
        desk.wait(lambda: app_process.poll() is not None, "the program to end")
    finally:
        desktop.end_and_report(app_process)


def main():
    program = desktop.program_on_session_bus(__doc__)
    with desktop.reported_failure(), tempfile.TemporaryDirectory() as home:
        env = desktop.home_env(home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        with desktop.managed_screen(env, home):
            os.environ.update(DISPLAY=env["DISPLAY"])
            bus_launcher = subprocess.Popen(
                ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=env,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                global pyatspi
                import pyatspi as atspi_module
                pyatspi = atspi_module
                play(env, program)
            finally:
                desktop.stop(bus_launcher)
    print("The game followed through the accessibility bus, and NUOVO GIOCO by keys: passed")


if __name__ == "__main__":
    main()
