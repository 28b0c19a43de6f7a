#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Two games played by keys alone with the real screen reader, Orca, checked by what it speaks.

Under Xvfb, a window manager and a D-Bus session of its own, Orca runs with its speech going to a
silent speech server; every utterance is in its debug file on a line "SPEECH OUTPUT: '...'". A
player answers one question wrongly and one rightly, asks the time left with Ctrl+T, presses Enter
in the box after a verdict (the answer must not count twice), reaches NUOVO GIOCO through F10 and
answers No by keyboard (typing must reach the box again), then starts a second game through Alt
and the menu and checks that Orca follows it as it followed the first: the same speech, and as
many objects on screen in its flat review.

Usage: dbus-run-session -- e2e_orca.py PATH_TO_VORANDI
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tools"))
import desktop  # noqa: E402  the X display, window manager and key driver
from desktop import Failure  # noqa: E402

# Orca's debug file is written through a block buffer; a line-buffered one shows speech at once.
ORCA_LINE_BUFFERED = """
import builtins, runpy, sys
log = sys.argv[sys.argv.index("--debug-file") + 1]
real_open = builtins.open
def line_buffered(file, mode="r", *args, **kwargs):
    if file == log and "w" in mode:
        return real_open(file, mode, buffering=1)
    return real_open(file, mode, *args, **kwargs)
builtins.open = line_buffered
sys.argv[0] = "/usr/bin/orca"
runpy.run_path("/usr/bin/orca", run_name="__main__")
"""

SPEECHD_CONF = """DefaultModule espeak-ng
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
AudioOutputMethod "alsa"
AudioALSADevice "null"
DisableAutoSpawn
"""


class Speech:
    """What Orca has said, read from its debug file."""

    def __init__(self, path):
        self.path = path
        self.mark = 0

    def said(self):
        """Every utterance since the last mark."""
        try:
            with open(self.path, errors="replace") as log:
                lines = log.read().splitlines()
        except FileNotFoundError:
            return []
        spoken = [m.group(1) for m in (re.search(r"SPEECH OUTPUT: '(.*)' ?\{", line)
                                        for line in lines) if m]
        return spoken[self.mark:]

    def next(self):
        """Later checks look only at what is said from now on."""
        self.mark += len(self.said())

    def wait(self, desk, pattern, what, seconds=20):
        """The first utterance since the mark that matches the pattern."""
        def heard():
            return next((s for s in self.said() if re.search(pattern, s)), None)
        found = desk.within(heard, what, seconds)
        if not found:
            raise Failure(f"Orca did not say {what}; it said: {self.said()}")
        print(f"heard: {found!r}")
        return found


def start_speech(env):
    """speech-dispatcher on a socket of its own, talking into a null sound device: without one,
    where no sound server runs, it hangs after two utterances and Orca with it."""
    conf = os.path.join(env["XDG_CONFIG_HOME"], "speech-dispatcher")
    os.makedirs(os.path.join(conf, "modules"), exist_ok=True)
    with open(os.path.join(conf, "speechd.conf"), "w") as f:
        f.write(SPEECHD_CONF)
    shutil.copy("/etc/speech-dispatcher/modules/espeak-ng.conf", os.path.join(conf, "modules"))
    socket = os.path.join(env["XDG_RUNTIME_DIR"], "speech-dispatcher", "speechd.sock")
    os.makedirs(os.path.dirname(socket), exist_ok=True)
    server = subprocess.Popen(
        ["speech-dispatcher", "-s", "-t", "0", "-c", "unix_socket", "-S", socket, "-C", conf],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return server, "unix_socket:" + socket


def start_orca(env, home, address):
    log = os.path.join(home, "orca.log")
    prefs = os.path.join(home, "orca-prefs")
    os.makedirs(prefs, exist_ok=True)
    orca = subprocess.Popen(
        ["/usr/bin/python3", "-c", ORCA_LINE_BUFFERED, "-d", "braille", "-u", prefs,
         "--debug-file", log], env=dict(env, SPEECHD_ADDRESS=address),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    speech = Speech(log)
    limit = time.monotonic() + 30
    while not speech.said():
        if orca.poll() is not None or time.monotonic() > limit:
            # Orca refuses to start while another Orca of the same user runs.
            desktop.stop(orca)
            raise Failure("Orca did not start (is another Orca running?)")
        time.sleep(0.1)
    return orca, speech


def question(speech, desk):
    said = speech.wait(desk, r"Quanto fa \d+ alla \d\?", "the question")
    base, exponent = map(int, re.search(r"Quanto fa (\d+) alla (\d)\?", said).groups())
    speech.next()
    return base ** exponent


def answer(speech, desk, text, verdict, counts):
    desk.type(text)
    desk.key("Return")
    speech.wait(desk, verdict, f"the verdict {verdict!r}")
    speech.wait(desk, re.escape(counts), f"the counts {counts!r}")
    speech.next()


def time_left(speech, desk, key):
    desk.key(key)
    speech.wait(desk, r"^(notification )?Tempo restante: \d+ minut[oi]( e \d+ second[oi])?\b", "the time left")
    speech.next()


def objects_shown(speech, desk, log):
    """How many objects Orca's flat review finds on screen (its "read current line" key)."""
    with open(log, errors="replace") as f:
        before = len(re.findall(r"FLAT REVIEW: (\d+) on-screen objects", f.read()))

    def counted():
        with open(log, errors="replace") as f:
            found = re.findall(r"FLAT REVIEW: (\d+) on-screen objects", f.read())
        return int(found[-1]) if len(found) > before else None
    desk.key("KP_Up")
    count = desk.wait(counted, "Orca's flat review")
    desk.key("KP_Add")  # leaves flat review, back to the focus
    speech.next()
    return count


def one_game(speech, desk, seen, name, log):
    """A game by keys alone: the name prompt heard, a wrong answer, the time twice, the record, a
    right one, Enter in the box after the verdict, the menus through F10 left with No. Returns
    what flat review found."""
    desktop.start_game(desk, name, seen, prompt_shown=lambda: speech.wait(
        desk, desktop.spoken_pattern("namePrompt"), f"the name prompt for {name}"))
    speech.next()
    expected = question(speech, desk)
    # A screen reader's word keys ask for the word at the end of the box's text too.
    desk.type("12")
    speech.wait(desk, r"^2\b", "the second digit echoed")
    word_heard = None
    for _ in range(3):  # a caret move Orca hears late is not spoken: the keys again
        desk.key("ctrl+Left")
        desk.key("ctrl+Right")
        word_heard = desk.within(lambda: any(re.search(r"^12\b", s) for s in speech.said()),
                                 "the word in the box", 5)
        if word_heard:
            break
    if not word_heard:
        raise Failure(f"Orca did not say the word in the box; it said: {speech.said()}")
    desk.key("BackSpace", "BackSpace")
    speech.next()
    answer(speech, desk, str(expected + 1),
           "^" + re.escape(desktop.game_text("wrongSpoken", expected)) + r"\b",
           "Risposte esatte: 0, errate: 1, totali: 1")
    time_left(speech, desk, "ctrl+t")
    time_left(speech, desk, "F2")
    desk.key("F8")
    speech.wait(desk, r"Il record è di Max con punti 50", "the record")
    speech.next()
    desk.key("Return")
    expected = question(speech, desk)
    answer(speech, desk, str(expected), "^" + re.escape(desktop.game_text("right")),
           "Risposte esatte: 1, errate: 1, totali: 2")
    # Back in the box, Enter asks the next question: the answer is not counted twice.
    desk.key("Tab")
    speech.wait(desk, r"Quanto fa", "the box again")
    speech.next()
    desk.key("Return")
    expected = question(speech, desk)
    shown = objects_shown(speech, desk, log)
    desk.key("F10")
    speech.wait(desk, r"INFORMAZIONI", "the first menu entry")
    desk.key("Left")
    speech.wait(desk, r"NUOVO GIOCO", "the new-game entry")
    desk.key("Return")
    speech.wait(desk, desktop.spoken_pattern("newGameQuestion"), "the new-game question")
    speech.next()
    desk.key("Return")  # No, the default
    speech.wait(desk, r"Quanto fa", "the focus back in the box")
    speech.next()
    answer(speech, desk, str(expected), "^" + re.escape(desktop.game_text("right")),
           "Risposte esatte: 2, errate: 1, totali: 3")
    return shown


def play(env, program, home):
    # A record out of reach: no "E' record" box comes between the questions.
    records = os.path.join(env["XDG_DATA_HOME"], "vorandi")
    os.makedirs(records, exist_ok=True)
    for name, content in (("vora.txt", b"50\r\n"), ("nvora.txt", b"Max\r\n")):
        with open(os.path.join(records, name), "wb") as f:
            f.write(content)
    server, address = start_speech(env)
    try:
        orca, speech = start_orca(env, home, address)
    except Failure:
        desktop.stop(server)
        raise
    app = desktop.launch([program], env)
    desk = desktop.Desktop(env, app, seconds=240)
    seen = set()
    try:
        speech.next()
        first = one_game(speech, desk, seen, "Zoe", speech.path)
        # Alt after F10 works at once: F10 swallows no key.
        desk.key("alt")
        speech.wait(desk, r"INFORMAZIONI", "the first menu entry after Alt")
        desk.key("Left", "Return")
        speech.wait(desk, desktop.spoken_pattern("newGameQuestion"), "the new-game question")
        desk.key("Tab", "Return")  # Sì
        speech.next()
        second = one_game(speech, desk, seen, "Ugo", speech.path)
        print(f"objects on screen for Orca: {first} in the first game, {second} in the second")
        # Both games show the same window; a screen reader that kept the first window's states
        # finds only a handful of objects in the second.
        if second != first or first < 25:
            raise Failure(f"Orca finds {second} objects in the second game, {first} in the first")
    finally:
        desktop.end_and_report(app)
        for process in (orca, server):
            desktop.stop(process)
        print("Orca's last words:", speech.said()[-10:])


def main():
    program = desktop.program_on_session_bus(__doc__)
    with desktop.reported_failure(), tempfile.TemporaryDirectory() as home:
        env = desktop.home_env(home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        with desktop.managed_screen(env, home):
            bus_launcher = subprocess.Popen(
                ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=env,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                play(env, program, home)
            finally:
                desktop.stop(bus_launcher)
    print("Two games followed with Orca by keys alone: passed")


if __name__ == "__main__":
    main()
