"""A small client of Chromium's DevTools protocol, for the browser tests and
benchmarks: starts Debian's chromium headless with a fresh profile, opens
one page and sends commands to it over its WebSocket (Debian's
python3-websocket, which /usr/bin/python3 sees).

    with Browser() as b:
        page = b.page("http://127.0.0.1:8000/")
        page.eval("document.title")
"""
import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request

import websocket  # python3-websocket

CHROMIUM = os.environ.get("CHROMIUM", "/usr/bin/chromium")
# As Debian's chromium runs under a closed network: no background traffic.
FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-default-apps", "--mute-audio", "--remote-debugging-port=0"]


class Failure(Exception):
    pass


class Page:
    """One tab: commands, and the events that came while waiting for answers."""

    def __init__(self, ws_url, timeout):
        self.ws = websocket.create_connection(ws_url, timeout=timeout, suppress_origin=True)
        self.next_id = 0
        self.events = []
        self.timeout = timeout

    def fire(self, method, **params):
        """A command whose answer is not waited for; its number."""
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        return self.next_id

    def send(self, method, **params):
        mine = self.fire(method, **params)
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == mine:
                if "error" in message:
                    raise Failure(f"{method}: {message['error']}")
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def wait_event(self, method, within=30):
        """The first event of that name, from those already in or still to come."""
        end = time.monotonic() + within
        while True:
            for i, e in enumerate(self.events):
                if e["method"] == method:
                    return self.events.pop(i)
            if time.monotonic() > end:
                raise Failure(f"no {method} within {within} s")
            self.ws.settimeout(max(0.1, end - time.monotonic()))
            try:
                message = json.loads(self.ws.recv())
            except websocket.WebSocketTimeoutException:
                continue
            finally:
                self.ws.settimeout(self.timeout)
            if "method" in message:
                self.events.append(message)

    def eval(self, expression, wait=True):
        """The value of a JavaScript expression (a promise is waited for)."""
        r = self.send("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=wait)
        if "exceptionDetails" in r:
            d = r["exceptionDetails"]
            raise Failure(f"{expression[:80]}: {d.get('exception', {}).get('description', d.get('text'))}")
        return r.get("result", {}).get("value")

    def until(self, expression, within=60, step=0.05):
        """Waits until the expression is true in the page, looking every step
        seconds; fails when it is not by the end (a wait for a state the page
        reports, not a guess at how long something takes)."""
        end = time.monotonic() + within
        while True:
            value = self.eval(expression)
            if value:
                return value
            if time.monotonic() > end:
                raise Failure(f"not true within {within} s: {expression}")
            time.sleep(step)

    def navigate(self, url):
        self.send("Page.navigate", url=url)
        self.wait_event("Page.loadEventFired")

    def close(self):
        self.ws.close()


class Browser:
    def __init__(self, timeout=120):
        self.profile = tempfile.mkdtemp(prefix="vantorel-chromium-")
        self.timeout = timeout
        self.process = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        self.process = subprocess.Popen([CHROMIUM, *FLAGS, f"--user-data-dir={self.profile}", "about:blank"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        # Chromium says where its DevTools listen on its standard error.
        for line in self.process.stderr:
            if line.startswith("DevTools listening on "):
                self.endpoint = line.split()[-1]
                break
        else:
            raise Failure("chromium started without its DevTools")
        self.port = int(self.endpoint.split(":")[2].split("/")[0])

    def stop(self):
        """Chromium ends; the profile stays until cleanup (a restart keeps it)."""
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def cleanup(self):
        self.stop()
        shutil.rmtree(self.profile, ignore_errors=True)

    def page(self, url=None):
        """The browser's one tab, with page, runtime and network events on."""
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list") as r:
            tabs = [t for t in json.load(r) if t["type"] == "page"]
        p = Page(tabs[0]["webSocketDebuggerUrl"], self.timeout)
        p.send("Page.enable")
        p.send("Runtime.enable")
        p.send("Inspector.enable")
        if url:
            p.navigate(url)
        return p


# --- Serving a folder and taking commands from another program (the C++
# browser driver of the conformance tests).
#
#   python3 scripts/cdp.py serve FOLDER
#
# serves FOLDER on 127.0.0.1 (a free port), starts Chromium and prints
# "ready URL". Then each command is one line "OP LENGTH" and LENGTH bytes:
#   eval   JavaScript; the answer is its value as text (a promise waited for)
#   send   "Method JSON-params": a DevTools command; the answer is its result as JSON
#   stop   stop the server (the site is offline), "start" starts it again
#   quit
# and each answer is "LENGTH" (or "!LENGTH" for a failure) and LENGTH bytes.

def _serve_folder(folder, port=0):
    import functools
    import http.server
    import threading
    handler = functools.partial(_QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def _quiet_handler():
    import http.server

    class Quiet(http.server.SimpleHTTPRequestHandler):
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                          ".wasm": "application/wasm", ".webmanifest": "application/manifest+json",
                          ".js": "text/javascript"}

        def log_message(self, *args):
            pass
    return Quiet


_QuietHandler = _quiet_handler()


def serve(folder):
    import sys
    stdin, stdout = sys.stdin.buffer, sys.stdout.buffer
    server = _serve_folder(folder)
    port = server.server_address[1]
    browser = Browser()
    browser.start()
    page = browser.page()
    stdout.write(f"ready http://127.0.0.1:{port}/\n".encode())
    stdout.flush()

    def answer(text, failed=False):
        data = text.encode()
        stdout.write(f"{'!' if failed else ''}{len(data)}\n".encode() + data)
        stdout.flush()

    try:
        while True:
            line = stdin.readline()
            if not line:
                break
            op, length = line.decode().split()
            payload = stdin.read(int(length)).decode()
            try:
                if op == "eval":
                    value = page.eval(payload)
                    answer(value if isinstance(value, str) else json.dumps(value))
                elif op == "send":
                    method, _, params = payload.partition(" ")
                    answer(json.dumps(page.send(method, **(json.loads(params) if params else {}))))
                elif op == "stop":
                    server.shutdown()
                    server.server_close()
                    answer("")
                elif op == "start":
                    server = _serve_folder(folder, port)
                    answer("")
                elif op == "quit":
                    answer("")
                    break
                else:
                    answer(f"unknown command {op}", True)
            except Exception as e:  # the failure goes back to the asker
                answer(str(e), True)
    finally:
        browser.cleanup()
        server.shutdown()


if __name__ == "__main__":
    import sys
    if len(sys.argv) == 3 and sys.argv[1] == "serve":
        serve(sys.argv[2])
    else:
        sys.exit("usage: cdp.py serve FOLDER")
