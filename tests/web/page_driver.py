"""Headless Chromium and the page's server, for the browser tests and the
page benchmark. Chromium is driven over the DevTools protocol through a pipe
(--remote-debugging-pipe), so nothing beyond Chromium and Python's standard
library is needed. Every process started here is stopped here, by its PID."""
import base64
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVE = os.path.join(HERE, "..", "..", "web", "serve.py")

# Software WebGL (SwiftShader through ANGLE), and none of the browser's own
# traffic. --no-sandbox: the sandbox cannot start as root.
CHROMIUM_FLAGS = [
    "--headless=new",
    "--use-angle=swiftshader",
    "--enable-unsafe-swiftshader",
    "--disable-gpu-sandbox",
    "--no-sandbox",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--mute-audio",
    "--hide-scrollbars",
    "--remote-debugging-pipe",
]


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def stop_process(process, grace=5):
    """Ends a process this module started: SIGTERM, then SIGKILL."""
    if process.poll() is None:
        os.kill(process.pid, signal.SIGTERM)
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            os.kill(process.pid, signal.SIGKILL)
            process.wait()


class Server:
    """web/serve.py on a free port of 127.0.0.1, serving `site`."""

    def __init__(self, site):
        self.process = subprocess.Popen(
            [sys.executable, SERVE, "--quiet", site], stdout=subprocess.PIPE, text=True)
        self.url = self.process.stdout.readline().strip()
        if not self.url.startswith("http://127.0.0.1:"):
            stop_process(self.process)
            raise RuntimeError(f"the server did not start: {self.url!r}")

    def close(self):
        stop_process(self.process)
        self.process.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class ProtocolError(RuntimeError):
    pass


class Browser:
    """One headless Chromium with a fresh profile, talked to over a pipe."""

    def __init__(self, chromium=None, extra_flags=()):
        self.profile = tempfile.mkdtemp(prefix="velmora-chromium-")
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def pipes_on_3_and_4():
            # The protocol's pipe: the browser reads fd 3 and writes fd 4.
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)

        self.log = open(os.path.join(self.profile, "chromium.log"), "w+b")
        self.process = subprocess.Popen(
            [chromium or find_chromium(), *CHROMIUM_FLAGS, *extra_flags,
             f"--user-data-dir={self.profile}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
            pass_fds=(3, 4), preexec_fn=pipes_on_3_and_4)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._next_id = 0
        self._lock = threading.Condition()
        self._replies = {}
        self.events = []  # (session, method, params), in arrival order
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        pending = b""
        while True:
            try:
                chunk = os.read(self._from_browser, 1 << 16)
            except OSError:
                chunk = b""
            if not chunk:
                with self._lock:
                    self._replies[None] = "closed"
                    self._lock.notify_all()
                return
            pending += chunk
            *messages, pending = pending.split(b"\0")
            with self._lock:
                for raw in messages:
                    message = json.loads(raw)
                    if "id" in message:
                        self._replies[message["id"]] = message
                    else:
                        self.events.append((message.get("sessionId"), message["method"], message.get("params", {})))
                self._lock.notify_all()

    def send(self, method, params=None, session=None, timeout=60):
        with self._lock:
            self._next_id += 1
            ident = self._next_id
        message = {"id": ident, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        with self._lock:
            while ident not in self._replies:
                if None in self._replies:
                    raise ProtocolError(f"{method}: the browser went away ({self.log_tail()})")
                left = deadline - time.monotonic()
                if left <= 0:
                    raise ProtocolError(f"{method}: no answer in {timeout} s")
                self._lock.wait(left)
            reply = self._replies.pop(ident)
        if "error" in reply:
            raise ProtocolError(f"{method}: {reply['error'].get('message')}")
        return reply.get("result", {})

    def new_page(self, width, height):
        target = self.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        return Page(self, target, session, width, height)

    def log_tail(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read().decode(errors="replace")[-2000:]

    def close(self):
        try:
            self.send("Browser.close", timeout=10)
        except ProtocolError:
            pass
        stop_process(self.process)
        os.close(self._to_browser)
        self._reader.join(5)
        os.close(self._from_browser)
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Page:
    """A tab whose viewport is exactly width x height CSS pixels at one
    device pixel each."""

    def __init__(self, browser, target, session, width, height):
        self.browser = browser
        self.target = target
        self.session = session
        for domain in ("Runtime", "Log", "Page"):
            self.send(f"{domain}.enable")
        self.resize(width, height)
        # Only the tab in front gets animation frames.
        self.send("Page.bringToFront")

    def close(self):
        self.browser.send("Target.closeTarget", {"targetId": self.target})

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def send(self, method, params=None, timeout=60):
        return self.browser.send(method, params, self.session, timeout)

    def resize(self, width, height):
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def navigate(self, url):
        self.send("Page.navigate", {"url": url})

    def evaluate(self, expression, timeout=60):
        result = self.send("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True, "awaitPromise": True}, timeout)
        if "exceptionDetails" in result:
            raise ProtocolError(f"{expression}: {result['exceptionDetails'].get('text')}")
        return result["result"].get("value")

    def wait_for(self, expression, timeout=60, poll=0.05):
        """Waits until `expression` is truthy; returns its value."""
        deadline = time.monotonic() + timeout
        while True:
            # While a new document loads, its body may not be there yet.
            value = self.evaluate(f"(() => {{ try {{ return {expression}; }} catch (e) {{ return null; }} }})()")
            if value:
                return value
            if time.monotonic() > deadline:
                raise TimeoutError(f"{expression} still false after {timeout} s")
            time.sleep(poll)

    def screenshot(self):
        """The viewport as PNG bytes."""
        data = self.send("Page.captureScreenshot", {"format": "png"})["data"]
        return base64.b64decode(data)

    def click(self, x, y):
        """A real click (a user gesture, as the browser counts them)."""
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent",
                      {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def click_on(self, selector):
        """A real click in the middle of the element `selector` names."""
        x, y = self.evaluate(f"(r => [r.x + r.width / 2, r.y + r.height / 2])"
                             f"(document.querySelector({selector!r}).getBoundingClientRect())")
        self.click(x, y)

    def press(self, key, code, alt=False):
        """A real key press: `key` as KeyboardEvent.key names it, `code` the key's place."""
        for kind in ("keyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent",
                      {"type": kind, "key": key, "code": code, "modifiers": 1 if alt else 0,
                       "text": key if kind == "keyDown" and len(key) == 1 else ""})

    def double_click(self, x, y):
        for count in (1, 2):
            for kind in ("mousePressed", "mouseReleased"):
                self.send("Input.dispatchMouseEvent",
                          {"type": kind, "x": x, "y": y, "button": "left", "clickCount": count})

    def problems(self):
        """What this page has said in its console at warning level or above,
        and the exceptions it has thrown, as lines of text. The GL driver's
        performance notes are left out: the show reads pixels back by design
        (the metaballs, the start anywhere), and ANGLE says once that this
        stalls the GPU."""
        lines = []
        for session, method, params in self.browser.events:
            if session != self.session:
                continue
            if method == "Runtime.consoleAPICalled" and params["type"] in ("error", "warning", "assert"):
                text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
                lines.append(f"console.{params['type']}: {text}")
            elif method == "Runtime.exceptionThrown":
                details = params["exceptionDetails"]
                lines.append(f"exception: {details.get('exception', {}).get('description', details.get('text'))}")
            elif method == "Log.entryAdded" and params["entry"]["level"] in ("error", "warning"):
                entry = params["entry"]
                if "GL Driver Message (OpenGL, Performance" in entry["text"]:
                    continue
                lines.append(f"{entry['source']} {entry['level']}: {entry['text']} {entry.get('url', '')}".strip())
        return lines
