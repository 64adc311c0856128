"""Serves the site folder over http, as any static web server would, to try it before it is
published: `make serve` serves build-web/site at http://localhost:8000/. A browser counts
localhost as a secure origin, so the app installs from there.

    serve_site.py SITE_FOLDER [--host HOST] [--port PORT] [--path /qorvelin/]

With --path the site is served under that sub-path, as on a school's server, and nothing
else is. Port 0 takes a free port. The first line printed is the site's address.
"""

import argparse
import functools
import http.server
import pathlib
import sys


class SiteHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".webmanifest": "application/manifest+json",
        ".js": "text/javascript",
        ".html": "text/html; charset=utf-8",
        ".txt": "text/plain; charset=utf-8",
    }

    def __init__(self, *args, sub_path, **kwargs):
        self.sub_path = sub_path
        super().__init__(*args, **kwargs)

    def send_head(self):
        if not self.path.startswith(self.sub_path):
            self.send_error(404)
            return None
        self.path = "/" + self.path[len(self.sub_path):]
        return super().send_head()

    # Every answer is checked again on the next visit, as a server that publishes new builds
    # should have it; the worker keeps the copies for offline play.
    def end_headers(self):
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        pass


def main():
    parser = argparse.ArgumentParser(description="Serves Qorvelin's site folder.")
    parser.add_argument("site", type=pathlib.Path)
    parser.add_argument("--host", default="localhost")
    parser.add_argument("--port", type=int, default=8000)
    parser.add_argument("--path", default="/")
    options = parser.parse_args()
    sub_path = "/" + options.path.strip("/") + "/" if options.path.strip("/") else "/"
    if not (options.site / "index.html").is_file():
        sys.exit(f"serve_site.py: {options.site} holds no site: run make web first")
    handler = functools.partial(SiteHandler, directory=str(options.site), sub_path=sub_path)
    with http.server.ThreadingHTTPServer((options.host, options.port), handler) as server:
        port = server.server_address[1]
        print(f"http://{options.host}:{port}{sub_path}", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
