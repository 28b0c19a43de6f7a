#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The browser build played in headless Chromium with real key events (DevTools protocol).

Serves the folder on 127.0.0.1 and plays: a name with an accent, one right and one wrong answer,
Alt alone and Down, Alt+X and Sì; checks the record files' bytes in the browser's storage and the
end screen; reloads and checks that the new game shows the record holder; then two tabs end
together and the higher record is kept with its own name. A record just beaten is in storage
already when the page goes (a reload, a link followed, the tab closed, the browser killed), and no
way out stores an empty file. Around the game: the loading progress while the files download, the
tab's title while hidden, the clock of a frozen tab, the screen reader's copy of the page
(Chromium's accessibility tree, keys typed there), what a browser without WebAssembly or WebGL or
storage is told, an offline start from the service worker's copy with the server gone, and a new
version on the server seen after one reload. Last, a whole game by touch alone, with the page
filling screens of three shapes (a screenshot of each in SHOTS_FOLDER, by default the system's
temporary folder).

Usage: e2e_web.py DIST_FOLDER [SHOTS_FOLDER]
"""

import base64
import http.server
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

import websocket

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tools"))
from desktop import game_text  # noqa: E402  the game's texts, from their one table

TIMEOUT = 60
# The game's own texts the page is waited on for, as the game's table gives them.
NAME_PROMPT = game_text("namePrompt")
GREETING = game_text("greeting", "").strip()
RIGHT = game_text("right")
WRONG = game_text("wrong", "").strip()
RECORD_PASSED = game_text("recordPassed")
LEAVE_QUESTION = game_text("leaveQuestion")
RECORD_SAVED = game_text("recordSaved")
NEW_GAME_QUESTION = game_text("newGameQuestion")


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".webmanifest": "application/manifest+json"}

    def __init__(self, request, client_address, server):
        # The folder the server hands out now (a test puts a new version in its place).
        super().__init__(request, client_address, server, directory=server.folder)

    def handle(self):
        # A server that is down: the connection closes with no answer, as with no network.
        if not getattr(self.server, "down", False):
            super().handle()

    def log_message(self, *args):
        pass

    def copyfile(self, source, outputfile):
        """The program as a slow school network sends it while the server's `slow` is set: a
        quarter, then the rest once the test has seen the progress (`resume`), however busy the
        machine is."""
        if not (getattr(self.server, "slow", False) and self.path.endswith(".wasm")):
            return super().copyfile(source, outputfile)
        size = os.fstat(source.fileno()).st_size
        outputfile.write(source.read(size // 4))
        outputfile.flush()
        self.server.resume.wait(TIMEOUT)
        return super().copyfile(source, outputfile)


def serve(folder):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Quiet)
    server.folder = folder
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def wait(predicate, what, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise Failure("timed out waiting for " + what)


class Tab:
    """One page, driven over its own DevTools connection."""

    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, timeout=TIMEOUT, suppress_origin=True)
        self.next_id = 0
        self.console = []

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("method") == "Runtime.consoleAPICalled":
                self.console.append(" ".join(str(a.get("value", "")) for a in message["params"]["args"]))
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise Failure(f"{method}: {message['error']}")
                return message["result"]

    def evaluate(self, expression, await_promise=False):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=await_promise)
        if "exceptionDetails" in result:
            raise Failure(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def screen(self):
        """The windows on the page as text, the modal box first (empty before the game runs)."""
        return self.evaluate(
            "(() => { const m = window.vorandiLoader && vorandiLoader.module();"
            " if (!m || !m._vorandi_describe_screen) return [];"
            " m._vorandi_describe_screen(); return m.vorandiScreen; })()") or []

    def wait_box(self, text, what):
        """Waits for a window showing text in one of its labels; returns it."""
        def find():
            for window in self.screen():
                if any(text in t for t in window["texts"].values()):
                    return window
            return None
        return wait(find, what)

    def key(self, key, code=None, vk=0, text="", modifiers=0):
        params = {"key": key, "code": code or key, "windowsVirtualKeyCode": vk,
                  "modifiers": modifiers}
        down = dict(params, type="keyDown" if text else "rawKeyDown")
        if text:
            down["text"] = down["unmodifiedText"] = text
        self.call("Input.dispatchKeyEvent", **down)
        self.call("Input.dispatchKeyEvent", type="keyUp", **params)

    # Where an Italian keyboard has the letters that a US one lacks.
    ITALIAN_KEYS = {"ò": "Semicolon", "à": "Quote", "ù": "Backslash", "è": "BracketLeft"}

    def type(self, text):
        for ch in text:
            if ch.isascii() and ch.isalpha():
                self.key(ch, code="Key" + ch.upper(), vk=ord(ch.upper()), text=ch)
            elif ch.isdigit():
                self.key(ch, code="Digit" + ch, vk=ord(ch), text=ch)
            elif ch == "-":
                self.key(ch, code="Minus", vk=189, text=ch)
            else:
                self.key(ch, code=self.ITALIAN_KEYS.get(ch, ""), text=ch)

    def enter(self):
        self.key("Enter", vk=13, text="\r")

    def alt(self, letter):
        self.call("Input.dispatchKeyEvent", type="rawKeyDown", key="Alt", code="AltLeft",
                  windowsVirtualKeyCode=18, modifiers=1)
        # With its character, as a real keyboard sends it: Qt's page platform matches it by that.
        self.key(letter, code="Key" + letter.upper(), vk=ord(letter.upper()), text=letter,
                 modifiers=1)
        self.call("Input.dispatchKeyEvent", type="keyUp", key="Alt", code="AltLeft",
                  windowsVirtualKeyCode=18, modifiers=0)

    def stored_record(self):
        """The record files' bytes in the browser's storage, or None for a file not stored."""
        stored = self.evaluate("""new Promise(done => {
            const open = indexedDB.open('vorandi', 1);
            open.onupgradeneeded = () => open.result.createObjectStore('record');
            open.onsuccess = () => {
              const store = open.result.transaction('record').objectStore('record');
              const pair = {};
              for (const name of ['vora.txt', 'nvora.txt'])
                store.get(name).onsuccess = e => { pair[name] = e.target.result ?
                  btoa(String.fromCharCode(...e.target.result)) : null; };
              store.transaction.oncomplete = () => { open.result.close(); done(pair); };
            };
          })""", await_promise=True)
        return {name: None if data is None else base64.b64decode(data)
                for name, data in stored.items()}

    def visible(self, element_id):
        """Whether the page's element is shown (False while the page is still loading)."""
        return self.evaluate(f"(e => !!e && !e.hidden)(document.getElementById('{element_id}'))")

    def text(self, element_id):
        return self.evaluate(f"(e => e ? e.textContent : '')(document.getElementById('{element_id}'))")


class Browser:
    def __init__(self, url):
        self.profile = tempfile.mkdtemp(prefix="vorandi-web-")
        self.url = url
        self.launch()

    def launch(self):
        self.port = free_port()
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--no-first-run",
             f"--remote-debugging-port={self.port}", f"--user-data-dir={self.profile}",
             "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--window-size=1024,768",
             # Every tab plays as the one in front: no timers slowed down in the others.
             "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
             "--disable-backgrounding-occluded-windows",
             "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait(self.targets, "Chromium's DevTools port", 30)

    def killed_and_back(self):
        """The browser killed at once (no page gets a last word), then started on its profile."""
        self.process.kill()
        self.process.wait(10)
        self.launch()

    def targets(self):
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list") as answer:
                return [t for t in json.load(answer) if t["type"] == "page"]
        except OSError:
            return None

    def open(self, before_page=None, url=None):
        """A new tab on the game's page (or url); before_page is script run before the page's own."""
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}/json/new?about:blank",
                                         method="PUT")
        with urllib.request.urlopen(request) as answer:
            target = json.load(answer)
        tab = Tab(target["webSocketDebuggerUrl"])
        tab.target_id = target["id"]
        tab.call("Runtime.enable")
        tab.call("Page.enable")
        tab.call("Emulation.setFocusEmulationEnabled", enabled=True)
        if before_page:
            tab.call("Page.addScriptToEvaluateOnNewDocument", source=before_page)
        tab.call("Page.navigate", url=url or self.url)
        return tab

    def close_tab(self, tab):
        """As Ctrl+W: the page goes with the browser's usual unload."""
        tab.call("Target.closeTarget", targetId=tab.target_id)
        tab.ws.close()

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)


def start_game(tab, name, input_method=False):
    """Types the name at the prompt (or has an input method insert it, with no key events) and
    answers the greeting; returns the main window's texts."""
    tab.wait_box(NAME_PROMPT, "the name prompt")
    if input_method:
        # An input method writes into the field that has the focus: the page's copy of the
        # prompt's field, once the page has made it one.
        wait(lambda: tab.evaluate("document.activeElement.id === 'mirror-focus' && "
                                  "document.activeElement.isContentEditable"),
             "the page's text field for the name")
        tab.call("Input.insertText", text=name)
    else:
        tab.type(name)
    tab.enter()
    tab.wait_box(GREETING, "the greeting")
    tab.enter()
    return tab.wait_box("Risposte errate", "the game's window")["texts"]


def question(tab):
    texts = tab.wait_box("Risposte errate", "the game's window")["texts"]
    return int(texts["lblNum1"]), int(texts["lblNum2"])


def answer(tab, value, verdict):
    tab.type(str(value))
    tab.enter()
    tab.wait_box(verdict, f"the verdict {verdict!r}")
    tab.enter()  # the next question, after the news of a record when the score has just passed it
    def next_question():
        front = tab.screen()[0]
        if any(RECORD_PASSED in text for text in front["texts"].values()):
            tab.enter()
            return False
        # The window takes keys again once it is the active one (it has the focus).
        return front["texts"].get("lblMessage") == "" and "focus" in front
    wait(next_question, "the next question")


def play_right(tab, times):
    for _ in range(times):
        base, exponent = question(tab)
        answer(tab, base ** exponent, RIGHT)


def leave(tab, record_notice):
    """Alt+X, then Sì (Shift+Tab from the default No, then Space), then the record notice."""
    tab.alt("x")
    tab.wait_box(LEAVE_QUESTION, "the exit question")
    tab.key("Tab", vk=9, modifiers=8)
    tab.key(" ", code="Space", vk=32, text=" ")
    if record_notice:
        tab.wait_box(RECORD_SAVED, "the record notice")
        tab.enter()


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_loading(tab):
    """The Italian progress while the program downloads (the server sends it slowly)."""
    seen = []

    def downloading():
        shown = tab.visible("loading") and tab.text("status")
        # Before the page is there the tab is still blank: no bar yet.
        now = tab.evaluate("(b => b ? Number(b.getAttribute('aria-valuenow')) : 0)"
                           "(document.getElementById('bar'))")
        seen[:] = [shown, now]
        return shown and shown.startswith("Scaricamento del gioco… ") and 0 < now < 90 and shown
    try:
        print("while the files download the page says:", wait(downloading, "the download's progress"))
    except Failure as failure:
        raise Failure(f"{failure} (the page said {seen[0]!r}, its bar at {seen[1]})") from None


# Headless Chromium keeps every tab visible (a minimized window and a tab behind another too), so
# the page is told as a browser tells it: the document's visibility, then its event.
TAB_SHOWN = """(hidden => {
  const state = hidden ? 'hidden' : 'visible';
  for (const [name, value] of [['hidden', hidden], ['visibilityState', state]])
    Object.defineProperty(document, name, {configurable: true, get: () => value});
  document.dispatchEvent(new Event('visibilitychange'));
})(%s)"""


def check_hidden_title(tab):
    """While the tab is hidden its title is the whole minutes left, as the minimized caption."""
    def minutes():
        clock = tab.wait_box("Risposte errate", "the game's window")["texts"]["lblconto"]
        hours, mins, _ = map(int, clock.split(":"))
        return str(hours * 60 + mins)
    before = minutes()
    tab.evaluate(TAB_SHOWN % "true")
    title = wait(lambda: (lambda t: t != "Vorandi" and t)(tab.evaluate("document.title")),
                 "the hidden tab's title")
    check(title in (before, minutes()), f"hidden tab's title {title!r}, minutes left {before}")
    tab.evaluate(TAB_SHOWN % "false")
    wait(lambda: tab.evaluate("document.title") == "Vorandi", "the title 'Vorandi' again")
    print(f"the hidden tab's title: {title!r}, shown again: 'Vorandi'")


# What a browser that cannot run the game is like, and what its page must say.
UNABLE = [
    ("delete window.WebAssembly", "non sa eseguire WebAssembly"),
    ("HTMLCanvasElement.prototype.getContext = () => null", "non disegna con WebGL"),
]
REFUSING_STORAGE = ("Object.defineProperty(window, 'indexedDB', "
                    "{get() { throw new DOMException('blocked', 'SecurityError'); }})")
# A private window's storage, as Chromium sizes it: a small quota held in memory.
PRIVATE_WINDOW = "navigator.storage.estimate = () => Promise.resolve({quota: 120e6, usage: 0})"


def check_unable_browsers(browser):
    for script, said in UNABLE:
        tab = browser.open(before_page=script)
        text = wait(lambda: tab.visible("problem") and tab.text("problem-text"), "the message")
        check(said in text, f"with {script!r} the page says {text!r}")
        tab.call("Page.navigate", url="about:blank")
    for script, said in [(REFUSING_STORAGE, "non permette di conservare il record"),
                         (PRIVATE_WINDOW, "finestra privata")]:
        tab = browser.open(before_page=script)
        start_game(tab, "Zoe")
        check(tab.visible("notice") and said in tab.text("notice"),
              f"notice {tab.text('notice')!r} shown: {tab.visible('notice')}, not {said!r}")
        print("the page says:", tab.text("notice").split(":")[0])
        tab.call("Page.navigate", url="about:blank")


def reload(tab):
    """Reloads the page and waits for the new one: the old one may still show the same prompt."""
    tab.evaluate("window.vorandiOldPage = true")
    tab.call("Page.reload")

    def new_page():
        try:
            return tab.evaluate("!window.vorandiOldPage && document.readyState === 'complete'")
        except Failure:  # between the two pages
            return False
    wait(new_page, "the reloaded page")


# The build's folder the page loaded its program from.
PAGE_BUILD = "document.querySelector('script[src$=\"/page.js\"]').getAttribute('src').split('/')[0]"


def check_offline(tab, server):
    """Once the service worker holds this build's copy, the game starts with the server down."""
    build = tab.evaluate(PAGE_BUILD)
    # This build's worker in charge: it removed the copies of the builds before it.
    stored = ("navigator.serviceWorker.ready.then(() => caches.keys())"
              ".then(names => names.filter(n => n.startsWith('vorandi-')))"
              ".then(names => names.length === 1 && caches.open(names[0])"
              f".then(c => c.match('{build}/vorandi.wasm')).then(Boolean))")
    wait(lambda: tab.evaluate(stored, await_promise=True), "the offline copy")
    server.down = True
    try:
        reload(tab)
        tab.wait_box(NAME_PROMPT, "the name prompt without a server")
        check(tab.evaluate(PAGE_BUILD) == build, "offline, another build's page")
    finally:
        server.down = False
    print(f"with the server down, a reload reaches the name prompt (build {build})")


def check_update(tab, server, folder):
    """A new version on the server (a new build's folder, a changed page and service worker) is
    what the next reload shows."""
    old = tab.evaluate(PAGE_BUILD)
    new = old[::-1]
    newer = tempfile.mkdtemp(prefix="vorandi-web-b-")
    shutil.copytree(folder, newer, dirs_exist_ok=True)
    os.rename(os.path.join(newer, old), os.path.join(newer, new))
    for name in ("index.html", "sw.js"):
        path = os.path.join(newer, name)
        with open(path, encoding="utf-8") as f:
            text = f.read().replace(old, new)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
    server.folder = newer
    try:
        # The server answers again after being down (as a network that comes back): until the
        # page's own request reaches it, the service worker rightly serves the stored page.
        answered = f"fetch('./', {{cache: 'no-store'}}).then(r => r.text()).then(t => t.includes('{new}'))"
        wait(lambda: tab.evaluate(answered, await_promise=True), "the server answering again")
        reload(tab)
        tab.wait_box(NAME_PROMPT, "the name prompt of the new version")
        check(tab.evaluate(PAGE_BUILD) == new, "after one reload the page is still the old one")
        print(f"a new version on the server is there after one reload ({old} -> {new})")
        check_offline(tab, server)
    finally:
        server.folder = folder
        shutil.rmtree(newer, ignore_errors=True)


def stored_now(browser, clear=False):
    """The stored record, read from a tab of its own that plays no game; clear empties the store
    after, as in a fresh profile."""
    reader = browser.open(url=browser.url.replace("index.html", "manifest.webmanifest"))
    try:
        wait(lambda: reader.evaluate("location.pathname.endsWith('.webmanifest') && "
                                     "document.readyState === 'complete'"), "the reading tab")
        stored = reader.stored_record()
        if clear:
            reader.evaluate("""new Promise(done => { const open = indexedDB.open('vorandi', 1);
                open.onsuccess = () => { const t = open.result.transaction('record', 'readwrite');
                t.objectStore('record').clear(); t.oncomplete = () => { open.result.close();
                done(true); }; }; })""", await_promise=True)
        return stored
    finally:
        browser.close_tab(reader)


# Each way a page goes with no time to save, right after a beaten record.
WAYS_OUT = [
    ("a reload", lambda browser, tab: tab.call("Page.reload")),
    ("a link followed", lambda browser, tab: tab.call("Page.navigate", url="about:blank")),
    ("the tab closed", lambda browser, tab: browser.close_tab(tab)),
    ("the browser killed", lambda browser, tab: browser.killed_and_back()),
]


def check_record_kept_at_once(browser):
    """A beaten record is in the browser's storage as soon as it is beaten: whichever way the page
    goes next, it is kept, whole; a game that does not beat it, closed, leaves it as it is."""
    for number, (way, leave_page) in enumerate(WAYS_OUT):
        stored_now(browser, clear=True)
        tab = browser.open()
        # The first name comes whole from an input method, with no key events.
        name = "Élia Zoë" if number == 0 else f"Gara{number}"
        start_game(tab, name, input_method=number == 0)
        play_right(tab, 1)
        leave_page(browser, tab)
        kept = stored_now(browser)
        check(kept == {"vora.txt": b"1\r\n", "nvora.txt": name.encode("cp1252") + b"\r\n"},
              f"after {way} right after a beaten record, storage holds {kept}")
        print(f"a record just beaten is kept after {way}")
    tab = browser.open()
    start_game(tab, "Ultima")
    play_right(tab, 1)
    browser.close_tab(tab)
    kept = stored_now(browser)
    check(kept == {"vora.txt": b"1\r\n", "nvora.txt": name.encode("cp1252") + b"\r\n"},
          f"a game that did not beat the record, closed, left {kept}")
    print("a game that ties the record, closed, leaves it whole")


def clock_seconds(tab):
    hours, minutes, seconds = map(int, tab.wait_box("Risposte errate", "the game's window")
                                  ["texts"]["lblconto"].split(":"))
    return hours * 3600 + minutes * 60 + seconds


def check_frozen_clock(browser, frozen=4):
    """A frozen tab runs no timer at all: once it runs again, the clock has counted that time. In
    a tab of its own, as freezing hides it for good."""
    tab = browser.open()
    start_game(tab, "Gelo")
    before = clock_seconds(tab)
    tab.call("Page.setWebLifecycleState", state="frozen")
    time.sleep(frozen)
    tab.call("Page.setWebLifecycleState", state="active")
    after = wait(lambda: (lambda now: now < before - 1 and now)(clock_seconds(tab)),
                 "the clock after the tab was frozen")
    check(before - after >= frozen, f"{frozen} s frozen, the clock went from {before} to {after}")
    print(f"after {frozen} s frozen the clock went on by {before - after} s")
    browser.close_tab(tab)


def accessible_texts(tab):
    """Every name and value in Chromium's accessibility tree of the page."""
    tree = tab.call("Accessibility.getFullAXTree")["nodes"]
    return [str(node[part]["value"]) for node in tree for part in ("name", "value")
            if node.get(part, {}).get("value")]


def check_screen_reader_copy(tab, expected):
    """After a wrong answer: the accessibility tree reads the question, the verdict with the right
    answer, the counters and the time; F2 has the time said; keys typed while the copy has the
    focus reach the game."""
    tab.call("Accessibility.enable")
    wanted = ["Quanto fa", game_text("wrongSpoken", expected), "Risposte esatte", "Tempo restante"]
    wait(lambda: all(any(part in text for text in accessible_texts(tab)) for part in wanted),
         f"the accessibility tree holding {wanted}")
    tab.key("F2", vk=113)
    said = wait(lambda: (lambda t: t.startswith("Tempo restante") and t)(tab.text("mirror-said")),
                "the time said after F2")
    print(f"the accessibility tree reads the question, the verdict, the counters; F2: {said!r}")
    tab.enter()  # the next question, the focus back in the answer box
    wait(lambda: "Quanto fa" in tab.evaluate("document.getElementById('mirror-focus')"
                                             ".getAttribute('aria-label') || ''"),
         "the answer box named with the question")
    tab.evaluate("document.getElementById('mirror-focus').focus()")
    play_right(tab, 1)
    tab.evaluate("document.getElementById('game').focus()")
    print("keys typed while the screen reader's copy has the focus reach the game")


def tap(tab, point, hold=0.0):
    """A finger on the page at (x, y), lifted after hold seconds: touch events only."""
    x, y = point
    tab.call("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y}])
    if hold:
        time.sleep(hold)
    tab.call("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])


def place(tab, text, title=None):
    """The middle of the control (or menu bar entry) showing text in the front window that has it
    (or the window with that title), on the page."""
    def find():
        for window in tab.screen():
            if title and window["title"] != title:
                continue
            names = [name for name, shown in window["texts"].items()
                     if shown.replace("&", "") == text] + [text]
            for name in names:
                if name in window["places"]:
                    x, y, width, height = window["places"][name]
                    left, top = window["geometry"][:2]
                    return left + x + width / 2, top + y + height / 2
        return None
    return wait(find, f"{text!r} on the page")


def tap_on(tab, text, title=None):
    tap(tab, place(tab, text, title))


def game_texts(tab):
    return tab.wait_box("Risposte errate", "the game's window")["texts"]


# What a screen reader says for each of the pad's keys.
PAD_NAMES = ",".join(sorted([str(d) for d in range(10)] + ["meno", "cancella", "Invio"]))


def no_box(windows):
    """Whether the front window is the game's (or its pad), not a box over it."""
    front = (windows or [{"texts": {}, "title": ""}])[0]
    return "lblMessage" in front["texts"] or front["title"] == "Tastierino"


def close_box(tab, button):
    """Taps a box's button and waits for the game's window to take taps again."""
    tap_on(tab, button)
    wait(lambda: no_box(tab.screen()), f"the box closed by {button!r}")


def next_question_by_touch(tab):
    """Waits for the next question, tapping OK on the news of a record that comes before it."""
    def asked():
        windows = tab.screen()
        if windows and any(RECORD_PASSED in text for text in windows[0]["texts"].values()):
            close_box(tab, "OK")
            return False
        return no_box(windows)
    wait(asked, "the next question")
    wait(lambda: game_texts(tab).get("lblMessage") == "", "the next question")


def pad(tab, keys):
    for key in keys:
        tap_on(tab, key, title="Tastierino")
    tap_on(tab, "Invio", title="Tastierino")


# The shapes of screen the game must fill: a class's projector, a tablet held upright, a whiteboard.
VIEWPORTS = [(1024, 768), (768, 1024), (1920, 1080)]
# The design's client area, and where "Nuovo calcolo" and "Exit" lie in it, in pixels: their
# places on the page give the game's scale.
DESIGN_WINDOW = (688, 561)
DESIGN_BUTTONS = {"cmdNext": [32, 440, 97, 57], "cmdExit": [560, 440, 97, 57]}


def design_on_page(window):
    """The scale the window shows the design at and the design's client area on the page."""
    nx, ny, nw, nh = window["places"]["cmdNext"]
    ex, _, ew, _ = window["places"]["cmdExit"]
    design_next, design_exit = DESIGN_BUTTONS["cmdNext"], DESIGN_BUTTONS["cmdExit"]
    scale = (ex + ew - nx) / (design_exit[0] + design_exit[2] - design_next[0])
    check(abs(nh / design_next[3] - scale) < 0.05,
          f"'Nuovo calcolo' {nw}x{nh} at a scale of {scale:.2f}")
    left = window["geometry"][0] + nx - design_next[0] * scale
    top = window["geometry"][1] + ny - design_next[1] * scale
    return scale, [left, top, DESIGN_WINDOW[0] * scale, DESIGN_WINDOW[1] * scale]


def check_fills(tab, width, height, shots):
    """At a viewport's size: the design as large as the page allows beside (or above) the pad,
    neither covering the other, every key at least 48 pixels; a screenshot of it."""
    tab.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
             deviceScaleFactor=1, mobile=False)

    def laid_out():
        windows = {w["title"]: w for w in tab.screen() if w["title"] in ("Vorandi", "Tastierino")}
        main = windows.get("Vorandi")
        return (main and main["geometry"][2:] == [width, height] and "Tastierino" in windows
                and windows)
    windows = wait(laid_out, f"the game filling {width}x{height}")
    scale, (x, y, w, h) = design_on_page(windows["Vorandi"])
    bar = windows["Vorandi"]["places"]["QMenuBar"][3]
    px, py, pw, ph = windows["Tastierino"]["geometry"]
    tall = height > width
    room = min((width - (0 if tall else pw)) / DESIGN_WINDOW[0],
               (height - bar - (ph if tall else 0)) / DESIGN_WINDOW[1])
    check(scale > 0.9 * room, f"{width}x{height}: the design at {scale:.2f}, room for {room:.2f}")
    apart = px >= x + w - 1 or py >= y + h - 1
    check(apart and px + pw <= width and py + ph <= height,
          f"{width}x{height}: the pad at {[px, py, pw, ph]} over the design {[x, y, w, h]} "
          "or off the page")
    keys = [windows["Tastierino"]["places"][name] for name in windows["Tastierino"]["texts"]]
    check(min(min(k[2], k[3]) for k in keys) >= 48,
          f"{width}x{height}: a key under 48 pixels: {keys}")
    shot = tab.call("Page.captureScreenshot", format="png")
    out = os.path.join(shots, f"touch-{width}x{height}.png")
    with open(out, "wb") as f:
        f.write(base64.b64decode(shot["data"]))
    print(f"{width}x{height}: the design at {scale:.2f}x beside the pad, {out}")


def wrong_by_pad(tab):
    base, exponent = question(tab)
    pad(tab, str(base ** exponent + 1))
    tab.wait_box(WRONG, "the verdict of a wrong answer")
    # The verdict is written before the focus moves on to the buttons, which are enabled then.
    wait(lambda: tab.wait_box(WRONG, "the verdict").get("focus") == "cmdNext",
         "the focus on 'Nuovo calcolo'")


def check_touch_game(browser, shots):
    """A whole game by touch alone on a tablet's page: the name in the page's own text field, the
    answers on the number pad, a long press, "Nuovo calcolo", the menus, NUOVO GIOCO and No with
    Exit tapped at once, NUOVO GIOCO and Sì, the record kept, a second game started with no name
    and left by Exit and Sì, "Gioca ancora"; the game filling each shape of screen."""
    stored_now(browser, clear=True)
    tab = browser.open(url="about:blank")
    tab.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
    tab.call("Emulation.setDeviceMetricsOverride", width=1024, height=768, deviceScaleFactor=1,
             mobile=False)
    tab.call("Page.navigate", url=browser.url)
    tab.wait_box(NAME_PROMPT, "the name prompt")
    tap_on(tab, "QLineEdit")  # the prompt's field: the page's text field takes the focus
    wait(lambda: tab.evaluate("document.activeElement.id === 'mirror-focus' && "
                              "document.activeElement.isContentEditable"),
         "the page's text field for the name after a tap")
    tab.call("Input.insertText", text="Tocco")
    tab.wait_box("Tocco", "the name in the prompt")
    tap_on(tab, "OK")
    tab.wait_box(GREETING, "the greeting")
    close_box(tab, "OK")
    wait(lambda: tab.evaluate("[...document.querySelectorAll('#numberpad button')]"
                              ".map(b => b.getAttribute('aria-label')).sort().join()") == PAD_NAMES,
         f"the pad's keys named {PAD_NAMES}")
    base, exponent = question(tab)
    tap(tab, place(tab, "lblNum1", title="Vorandi"), hold=1.5)  # a long press on the question
    check(not tab.evaluate("!!document.getElementById('mirror-box').getAttribute('role') && "
                           "!document.getElementById('mirror-box').hidden")
          and question(tab) == (base, exponent), "a long press on the question changed the game")
    pad(tab, "7⌫" + str(base ** exponent))
    tab.wait_box(RIGHT, "the verdict after the pad's Invio")
    pad(tab, "")  # the next question, as Enter draws it, after the news of a record
    tab.wait_box(RECORD_PASSED, "the news of a record")
    next_question_by_touch(tab)
    wrong_by_pad(tab)
    tap_on(tab, "Nuovo calcolo")
    tab.wait_box(RECORD_PASSED, "the news of a record before the question 'Nuovo calcolo' draws")
    next_question_by_touch(tab)
    for width, height in VIEWPORTS:
        check_fills(tab, width, height, shots)
    for entry in ("INFORMAZIONI", "COPYRIGHT"):  # a tap opens the menu, another closes it
        for shown in (True, False):
            tap_on(tab, entry)
            wait(lambda: any(w["title"] == "" for w in tab.screen()) == shown,
                 f"the menu {entry} {'open' if shown else 'closed'}")
    # Exit tapped right after a box's "No", while that box's loop may still be returning, asks.
    exit_at = place(tab, "Exit")
    tap_on(tab, "NUOVO GIOCO")
    tab.wait_box(NEW_GAME_QUESTION, "the new game question")
    tap_on(tab, "No")
    tap(tab, exit_at)
    tab.wait_box(LEAVE_QUESTION, "the exit question tapped at once after a box")
    close_box(tab, "No")
    tap_on(tab, "NUOVO GIOCO")
    tab.wait_box(NEW_GAME_QUESTION, "the new game question")
    tap_on(tab, "Sì")
    tab.wait_box(RECORD_SAVED, "the record notice")
    tap_on(tab, "OK")
    tab.wait_box(NAME_PROMPT, "the second game's name prompt")
    tap_on(tab, "OK")  # no name: the game starts all the same
    tab.wait_box(GREETING, "the greeting without a name")
    close_box(tab, "OK")
    stored = {"vora.txt": b"1\r\n", "nvora.txt": b"Tocco\r\n"}
    record = wait(lambda: tab.stored_record() == stored and stored, f"stored by touch: {stored}")
    texts = game_texts(tab)
    check(texts["lblnome"].startswith("Tocco"), f"the record holder shown: {texts['lblnome']!r}")
    tap_on(tab, "Exit")  # the second game's window takes taps
    tab.wait_box(LEAVE_QUESTION, "the second game's exit question")
    tap_on(tab, "Sì")
    wait(lambda: tab.visible("end"), "the end screen")
    tap(tab, tab.evaluate("(r => [r.x + r.width / 2, r.y + r.height / 2])"
                          "(document.getElementById('again').getBoundingClientRect())"))
    tab.wait_box(NAME_PROMPT, "the next game's name prompt")
    print("a whole game by touch alone: the record stored", record)
    browser.close_tab(tab)


def check_alt_alone(tab):
    """Alt pressed and released alone enters the menu bar, as on the desktop: Down opens the first
    menu; Escape twice gives the keys back to the answer box."""
    for kind, modifiers in (("rawKeyDown", 1), ("keyUp", 0)):
        tab.call("Input.dispatchKeyEvent", type=kind, key="Alt", code="AltLeft",
                 windowsVirtualKeyCode=18, modifiers=modifiers)
    tab.key("ArrowDown", vk=40)
    wait(lambda: len(tab.screen()) == 2, "the first menu, open after Alt alone and Down")
    for _ in range(2):
        tab.key("Escape", vk=27)
    wait(lambda: tab.screen()[0].get("focus") == "txtAnswer", "the answer box after Escape")
    print("Alt alone enters the menu bar; Escape gives the keys back")


def main():
    folder = os.path.abspath(sys.argv[1])
    shots = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else tempfile.gettempdir())
    server = serve(folder)
    server.slow, server.resume = True, threading.Event()
    server.down = False
    url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
    browser = Browser(url)
    started = time.monotonic()
    try:
        tab = browser.open()
        check_loading(tab)
        server.slow = False
        server.resume.set()
        start_game(tab, "Nicolò")
        print(f"name prompt to main window: {time.monotonic() - started:.1f} s from navigation")
        check_hidden_title(tab)
        check_frozen_clock(browser)
        base, exponent = question(tab)
        tab.type(str(base ** exponent + 1))
        tab.enter()
        tab.wait_box(WRONG, "the verdict")
        check_screen_reader_copy(tab, base ** exponent)
        check_alt_alone(tab)
        leave(tab, record_notice=True)
        wait(lambda: tab.visible("end"), "the end screen")
        record = tab.stored_record()
        check(record == {"vora.txt": b"1\r\n", "nvora.txt": b"Nicol\xf2\r\n"},
              f"stored record {record}")
        print("record stored byte for byte:", record)

        tab.call("Page.reload")
        texts = start_game(tab, "Bea")
        check(texts.get("lblnome") == "Nicol\u00f2\r\n" or texts.get("lblnome", "").startswith("Nicol\u00f2"),
              f"record holder after the reload: {texts.get('lblnome')!r}")
        check(texts.get("lblpunti", "").startswith("1"), f"record after the reload: {texts}")
        print("after the reload the game shows the record holder:", texts.get("lblnome").strip())

        # Two tabs: three right answers beat two; both leave at the same moment.
        tab.call("Page.reload")
        other = browser.open()
        start_game(tab, "Anna")
        start_game(other, "Bruno")
        play_right(tab, 3)
        play_right(other, 2)
        for t in (tab, other):
            t.alt("x")
            t.wait_box(LEAVE_QUESTION, "the exit question")
            t.key("Tab", vk=9, modifiers=8)
        for t in (tab, other):
            t.key(" ", code="Space", vk=32, text=" ")
        # The tab that saves second saves only when it beats the first, so only then says so.
        for t in (tab, other):
            notice = wait(lambda: t.visible("end") or any(
                RECORD_SAVED in text for w in t.screen() for text in w["texts"].values()),
                "the record notice or the end screen")
            if notice is not True or not t.visible("end"):
                t.enter()
            wait(lambda: t.visible("end"), "the end screen")
        record = tab.stored_record()
        check(record == {"vora.txt": b"3\r\n", "nvora.txt": b"Anna\r\n"},
              f"two tabs' record {record}")
        print("two tabs ending together keep the higher record:", record)
        check_unable_browsers(browser)
        check_offline(tab, server)
        check_update(tab, server, folder)
        check_record_kept_at_once(browser)
        check_touch_game(browser, shots)
    except Failure as failure:
        print("FAIL:", failure, file=sys.stderr)
        try:
            print("on the page:", tab.screen()[:2], file=sys.stderr)
        except Exception:  # noqa: BLE001  the page may not answer any more
            pass
        for t in [v for v in locals().values() if isinstance(v, Tab)]:
            print("\n".join(t.console[-20:]), file=sys.stderr)
        return 1
    finally:
        server.resume.set()
        browser.close()
        server.shutdown()
    print(f"web test passed in {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
