#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The browser build played in headless Chromium with real key events (DevTools protocol).

Serves the folder on 127.0.0.1 and plays: a name with an accent, one right and one wrong answer,
Alt+X and Sì; checks the record files' bytes in the browser's storage and the end screen; reloads
and checks that the new game shows the record holder; then two tabs end together and the higher
record is kept with its own name. Around the game: the loading progress while the files download,
the tab's title while hidden, what a browser without WebAssembly or WebGL or storage is told, and
an offline start from the service worker's copy once the server has stopped.

Usage: e2e_web.py DIST_FOLDER
"""

import base64
import functools
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

TIMEOUT = 60


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".webmanifest": "application/manifest+json"}

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
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(Quiet, directory=folder))
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
        self.url = url
        wait(self.targets, "Chromium's DevTools port", 30)

    def targets(self):
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list") as answer:
                return [t for t in json.load(answer) if t["type"] == "page"]
        except OSError:
            return None

    def open(self, before_page=None):
        """A new tab on the game's page; before_page is script run before the page's own."""
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}/json/new?about:blank",
                                         method="PUT")
        with urllib.request.urlopen(request) as answer:
            target = json.load(answer)
        tab = Tab(target["webSocketDebuggerUrl"])
        tab.call("Runtime.enable")
        tab.call("Page.enable")
        tab.call("Emulation.setFocusEmulationEnabled", enabled=True)
        if before_page:
            tab.call("Page.addScriptToEvaluateOnNewDocument", source=before_page)
        tab.call("Page.navigate", url=self.url)
        return tab

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)


def start_game(tab, name):
    """Types the name at the prompt and answers the greeting; returns the main window's texts."""
    tab.wait_box("Come ti chiami", "the name prompt")
    tab.type(name)
    tab.enter()
    tab.wait_box("vediamo se sei un vero campione", "the greeting")
    tab.enter()
    return tab.wait_box("Risposte errate", "the game's window")["texts"]


def question(tab):
    texts = tab.wait_box("Risposte errate", "the game's window")["texts"]
    return int(texts["lblNum1"]), int(texts["lblNum2"])


def answer(tab, value, verdict):
    tab.type(str(value))
    tab.enter()
    tab.wait_box(verdict, f"the verdict {verdict!r}")
    tab.enter()  # the next question, after "E' record" when the score has just passed it
    def next_question():
        front = tab.screen()[0]
        if any("E' record" in text for text in front["texts"].values()):
            tab.enter()
            return False
        # The window takes keys again once it is the active one (it has the focus).
        return front["texts"].get("lblMessage") == "" and "focus" in front
    wait(next_question, "the next question")


def play_right(tab, times):
    for _ in range(times):
        base, exponent = question(tab)
        answer(tab, base ** exponent, "Esatto")


def leave(tab, record_notice):
    """Alt+X, then Sì (Shift+Tab from the default No, then Space), then the record notice."""
    tab.alt("x")
    tab.wait_box("Vuoi veramente lasciarmi", "the exit question")
    tab.key("Tab", vk=9, modifiers=8)
    tab.key(" ", code="Space", vk=32, text=" ")
    if record_notice:
        tab.wait_box("Ok ho registrato il tuo record", "the record notice")
        tab.enter()


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_loading(tab):
    """The Italian progress while the program downloads (the server sends it slowly)."""
    seen = []

    def downloading():
        shown = tab.visible("loading") and tab.text("status")
        now = tab.evaluate("Number(document.getElementById('bar').getAttribute('aria-valuenow'))")
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


def check_unable_browsers(browser):
    for script, said in UNABLE:
        tab = browser.open(before_page=script)
        text = wait(lambda: tab.visible("problem") and tab.text("problem-text"), "the message")
        check(said in text, f"with {script!r} the page says {text!r}")
        tab.call("Page.navigate", url="about:blank")
    tab = browser.open(before_page=REFUSING_STORAGE)
    start_game(tab, "Zoe")
    check(tab.visible("notice"), "no notice that the record cannot be kept")
    print("a browser without WebAssembly, WebGL or storage is told so:",
          tab.text("notice").split(":")[0])
    tab.call("Page.navigate", url="about:blank")


def check_offline(tab, server):
    """Once the service worker holds its copy, the game starts with the server gone."""
    stored = ("navigator.serviceWorker.ready.then(() => caches.keys()).then(names => Promise.all("
              "names.map(n => caches.open(n).then(c => c.match('vorandi.wasm')))))"
              ".then(found => found.some(Boolean))")
    wait(lambda: tab.evaluate(stored, await_promise=True), "the offline copy")
    server.shutdown()
    server.server_close()
    tab.call("Page.reload")
    tab.wait_box("Come ti chiami", "the name prompt without a server")
    print("with the server stopped, a reload reaches the name prompt")


def main():
    folder = os.path.abspath(sys.argv[1])
    server = serve(folder)
    server.slow, server.resume = True, threading.Event()
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
        base, exponent = question(tab)
        answer(tab, base ** exponent + 1, "Sbagliato")
        play_right(tab, 1)
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
            t.wait_box("Vuoi veramente lasciarmi", "the exit question")
            t.key("Tab", vk=9, modifiers=8)
        for t in (tab, other):
            t.key(" ", code="Space", vk=32, text=" ")
        # The tab that saves second saves only when it beats the first, so only then says so.
        for t in (tab, other):
            notice = wait(lambda: t.visible("end") or any(
                "Ok ho registrato" in text for w in t.screen() for text in w["texts"].values()),
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
