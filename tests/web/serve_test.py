#!/usr/bin/env python3
"""web/serve.py against hostile requests, on a site folder of its own (no
page build needed): what it serves, what it refuses, and what idle
connections cost it.

    serve_test.py [unittest arguments]"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SERVE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "web", "serve.py")


def stop_process(process, grace=5):
    """Ends the server this test started: SIGTERM, then SIGKILL."""
    if process.poll() is None:
        os.kill(process.pid, signal.SIGTERM)
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            os.kill(process.pid, signal.SIGKILL)
            process.wait()

THREADS = 4
IDLE_TIMEOUT = 0.5


class ServeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="velmora-serve-")
        site = os.path.join(cls.folder, "site")
        outside = os.path.join(cls.folder, "outside")
        os.makedirs(os.path.join(site, "sub"))
        os.makedirs(outside)
        files = {"site/index.html": b"<p>the page</p>\n", "site/velmora.wasm": b"\0asm" + bytes(range(60)),
                 "site/sub/inner.txt": b"inner\n", "outside/secret.txt": b"the secret\n"}
        for name, data in files.items():
            with open(os.path.join(cls.folder, name), "wb") as f:
                f.write(data)
        cls.wasm = files["site/velmora.wasm"]
        os.symlink(os.path.join(outside, "secret.txt"), os.path.join(site, "secret.txt"))
        os.symlink(outside, os.path.join(site, "outside"))
        os.symlink("velmora.wasm", os.path.join(site, "same.wasm"))
        cls.log = open(os.path.join(cls.folder, "server.log"), "w+")
        cls.server = subprocess.Popen(
            [sys.executable, SERVE, "--quiet", "--threads", str(THREADS), "--idle-timeout", str(IDLE_TIMEOUT), site],
            stdout=subprocess.PIPE, stderr=cls.log, text=True)
        url = cls.server.stdout.readline().strip()
        cls.port = int(url.rstrip("/").rsplit(":", 1)[1])

    @classmethod
    def tearDownClass(cls):
        stop_process(cls.server)
        cls.server.stdout.close()
        cls.log.close()
        shutil.rmtree(cls.folder)

    def connect(self):
        connection = socket.create_connection(("127.0.0.1", self.port), timeout=5)
        self.addCleanup(connection.close)
        return connection

    def request(self, target, headers=""):
        """(status, headers, body) of one GET of `target`, sent as is."""
        connection = self.connect()
        connection.sendall(f"GET {target} HTTP/1.0\r\n{headers}\r\n".encode("latin-1"))
        reply = b""
        while chunk := connection.recv(65536):
            reply += chunk
        self.assertIn(b"\r\n\r\n", reply, f"no response to {target!r}")
        head, body = reply.split(b"\r\n\r\n", 1)
        lines = head.decode("latin-1").split("\r\n")
        fields = dict(line.split(": ", 1) for line in lines[1:])
        return int(lines[0].split()[1]), {k.lower(): v for k, v in fields.items()}, body

    def server_threads(self):
        with open(f"/proc/{self.server.pid}/status") as f:
            return next(int(line.split()[1]) for line in f if line.startswith("Threads:"))

    def test_the_sites_files_are_served(self):
        for target in ["/", "/?at=60", "/index.html"]:
            with self.subTest(target=target):
                status, fields, body = self.request(target)
                self.assertEqual((status, fields["content-type"], body), (200, "text/html", b"<p>the page</p>\n"))
        # Browsers compile WebAssembly while it downloads only when it says
        # what it is. Ranges are not served: a range request gets it all.
        for target, headers in [("/velmora.wasm", ""), ("/same.wasm", ""), ("/velmora.wasm", "Range: bytes=4-7\r\n")]:
            with self.subTest(target=target, headers=headers):
                status, fields, body = self.request(target, headers)
                self.assertEqual((status, fields["content-type"], body), (200, "application/wasm", self.wasm))

    def test_folders_and_whatever_lies_outside_the_site_are_refused(self):
        for target, expected in [("/sub/", 404), ("/sub", 404), ("/secret.txt", 404), ("/outside/secret.txt", 404),
                                 ("/outside/", 404), ("/../outside/secret.txt", 400),
                                 ("/sub/%2e%2e/%2e%2e/outside/secret.txt", 400), ("/sub/..%2f..%2foutside/secret.txt", 400)]:
            with self.subTest(target=target):
                status, _, body = self.request(target)
                self.assertEqual(status, expected)
                self.assertNotIn(b"secret", body)
                self.assertNotIn(b"inner.txt", body)

    def test_a_path_that_is_not_clean_is_a_bad_request(self):
        for target in ["/index.html%00.txt", "/index%zz.html", "/index.html%", "/%ff%fe", "index.html", "*",
                       "http://127.0.0.1/index.html"]:
            with self.subTest(target=target):
                self.assertEqual(self.request(target)[0], 400)
        self.log.seek(0)
        self.assertNotIn("Traceback", self.log.read())

    def test_idle_connections_are_closed_and_hold_no_thread_each(self):
        quiet = self.connect()
        start = time.monotonic()
        self.assertEqual(quiet.recv(1), b"", "the server closes a connection that says nothing")
        self.assertLess(time.monotonic() - start, IDLE_TIMEOUT + 2)

        idle = [self.connect() for _ in range(200)]
        most = 0
        for _ in range(10):
            time.sleep(0.1)
            most = max(most, self.server_threads())
        # The handlers, and the main thread accepting.
        self.assertLessEqual(most, THREADS + 1)
        for connection in idle:
            connection.close()
        self.assertEqual(self.request("/")[0], 200)


if __name__ == "__main__":
    unittest.main(verbosity=2)
