#!/usr/bin/env python3
"""Serves the page (build-web/) to a browser on this machine.

    web/serve.py [--port N] [--quiet] [--idle-timeout S] [--threads N] [DIR]

Binds 127.0.0.1 only, on a free port unless --port names one, and prints the
page's address as its first line. Responses ask browsers to check back before
reusing what they have, so a rebuilt page shows at the next reload, and the
WebAssembly goes out as application/wasm, which browsers need to compile it
while it downloads. Stops on Ctrl+C or SIGTERM.

Only regular files inside DIR are served, and a folder only as its
index.html (folders are never listed). A path whose real location is outside
DIR, through a symbolic link, is not found; a request path that is not clean
(no leading /, a NUL, a `..`, a broken %-escape or UTF-8) is a bad request. A
connection that sends nothing for --idle-timeout seconds is closed, and at
most --threads connections are answered at once: the others wait their turn.
"""
import argparse
import functools
import http.server
import os
import re
import signal
import stat
import sys
import threading
import urllib.parse

BROKEN_ESCAPE = re.compile(r"%(?![0-9A-Fa-f]{2})")


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".data": "application/octet-stream",
        ".webmanifest": "application/manifest+json",
    }

    def setup(self):
        self.timeout = self.server.idle_timeout  # read by the base class's setup
        super().setup()

    def end_headers(self):
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        if not self.server.quiet:
            super().log_message(format, *args)

    def local_file(self):
        """The real path of the file the request names, or None once an
        error has been sent."""
        target = self.path.split("?", 1)[0].split("#", 1)[0]
        if not target.startswith("/") or BROKEN_ESCAPE.search(target):
            self.send_error(400, "The path is not a clean absolute path")
            return None
        try:
            name = urllib.parse.unquote(target, errors="strict")
        except UnicodeDecodeError:
            self.send_error(400, "The path is not a clean absolute path")
            return None
        words = name.split("/")
        if "\0" in name or ".." in words:
            self.send_error(400, "The path is not a clean absolute path")
            return None
        root = self.server.root
        path = os.path.realpath(os.path.join(root, *[w for w in words if w not in ("", ".")]))
        if os.path.isdir(path) and target.endswith("/"):
            path = os.path.realpath(os.path.join(path, "index.html"))
        if os.path.commonpath([root, path]) != root or not os.path.isfile(path):
            self.send_error(404, "File not found")
            return None
        return path

    def send_head(self):
        path = self.local_file()
        if path is None:
            return None
        try:
            # O_NOFOLLOW: the name resolved above cannot be swapped for a link,
            # O_NONBLOCK: nor for a FIFO that would hold this thread.
            f = os.fdopen(os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK), "rb")
        except OSError:
            self.send_error(404, "File not found")
            return None
        try:
            info = os.fstat(f.fileno())
            if not stat.S_ISREG(info.st_mode):
                raise OSError("not a regular file")
            modified = self.date_time_string(info.st_mtime)
            if self.headers.get("If-Modified-Since") == modified:
                # What the browser has is what it would get.
                self.send_response(304)
                self.end_headers()
                f.close()
                return None
            self.send_response(200)
            self.send_header("Content-Type", self.guess_type(path))
            self.send_header("Content-Length", str(info.st_size))
            self.send_header("Last-Modified", modified)
            self.end_headers()
            return f
        except OSError:
            f.close()
            self.send_error(404, "File not found")
            return None


class Server(http.server.ThreadingHTTPServer):
    # Connections beyond the handler threads wait here, not in SYN retries.
    request_queue_size = 1024

    def __init__(self, address, handler, threads):
        self.slots = threading.BoundedSemaphore(threads)
        super().__init__(address, handler)

    def process_request(self, request, client_address):
        self.slots.acquire()
        try:
            super().process_request(request, client_address)
        except BaseException:
            self.slots.release()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release()

    def handle_error(self, request, client_address):
        # A browser that stops a download mid-way is no fault of ours.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dir", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", "build-web"))
    parser.add_argument("--port", type=int, default=0, help="the port (default: a free one)")
    parser.add_argument("--quiet", action="store_true", help="do not log requests")
    parser.add_argument("--idle-timeout", type=float, default=10, metavar="S",
                        help="close a connection that sends nothing for S seconds (default: 10)")
    parser.add_argument("--threads", type=int, default=32, metavar="N",
                        help="answer at most N connections at once (default: 32)")
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.dir, "index.html")):
        sys.exit(f"serve.py: no page in {args.dir} (build it with ./dev web build)")
    if args.idle_timeout <= 0 or args.threads < 1:
        sys.exit("serve.py: --idle-timeout must be above 0 and --threads at least 1")

    # Told its folder, the handler never asks for the working one, which may
    # be gone by the time a request comes (a build folder made afresh).
    server = Server(("127.0.0.1", args.port), functools.partial(Handler, directory=args.dir), args.threads)
    server.quiet = args.quiet
    server.idle_timeout = args.idle_timeout
    server.root = os.path.realpath(args.dir)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
