#!/usr/bin/env python3
"""scripts/serve-web.py DIR [--port N] [--no-isolation]: serves DIR on 127.0.0.1.

Every answer carries the two headers that make the page cross-origin isolated (its workers
then share the program's memory): Cross-Origin-Opener-Policy: same-origin and
Cross-Origin-Embedder-Policy: require-corp. --no-isolation leaves them out (what a host
without them gives). Prints the page's address as its first line, then serves until stopped.
Port 0 (the default) takes a free one.
"""
import argparse
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    isolation = True
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def end_headers(self):
        if self.isolation:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, *args):
        pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--no-isolation", action="store_true")
    args = ap.parse_args()
    Handler.isolation = not args.no_isolation
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", args.port), functools.partial(Handler, directory=args.dir))
    print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
