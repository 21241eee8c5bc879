#!/usr/bin/env python3
"""Serves the web page's folder on localhost only, .wasm as application/wasm.

    serve-web.py FOLDER [PORT]    PORT 0 (the default) takes a free port; the address is printed.
"""
import functools
import http.server
import sys


class PageHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".webmanifest": "application/manifest+json",
        ".sf2": "application/octet-stream",
        ".md": "text/markdown; charset=utf-8",
        "": "text/plain; charset=utf-8",
    }

    def log_message(self, format, *args):
        pass  # quiet: the tests read the address line only


class PageServer(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        # A browser that closes a connection mid-answer (a page left, a test ended) is no error.
        if not isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            super().handle_error(request, client_address)


def main():
    folder = sys.argv[1]
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    handler = functools.partial(PageHandler, directory=folder)
    with PageServer(("127.0.0.1", port), handler) as server:
        print(f"Korvane's page: http://127.0.0.1:{server.server_address[1]}/", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
