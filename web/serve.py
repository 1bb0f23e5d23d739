#!/usr/bin/env python3
"""Serves the page (build-web/) to a browser on this machine.

    web/serve.py [--port N] [--quiet] [DIR]

Binds 127.0.0.1 only, on a free port unless --port names one, and prints the
page's address as its first line. Responses ask browsers to check back before
reusing what they have, so a rebuilt page shows at the next reload, and the
WebAssembly goes out as application/wasm, which browsers need to compile it
while it downloads. Stops on Ctrl+C or SIGTERM.
"""
import argparse
import functools
import http.server
import os
import signal
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".data": "application/octet-stream",
    }

    def end_headers(self):
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        if not self.server.quiet:
            super().log_message(format, *args)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dir", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", "build-web"))
    parser.add_argument("--port", type=int, default=0, help="the port (default: a free one)")
    parser.add_argument("--quiet", action="store_true", help="do not log requests")
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.dir, "index.html")):
        sys.exit(f"serve.py: no page in {args.dir} (build it with ./dev web build)")

    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", args.port), functools.partial(Handler, directory=args.dir))
    server.quiet = args.quiet
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
