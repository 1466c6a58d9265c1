#!/usr/bin/env python3
"""Serves a folder on the loopback, with byte ranges: a media element asks for ranges when it
seeks, and without them Chromium could only seek within what it had already downloaded.

    serve.py FOLDER [--port 0]

prints the URL once listening. Importable: start(folder) returns the running server."""
import argparse
import functools
import http.server
import os
import re
import threading

RANGE = re.compile(r"^bytes=(\d*)-(\d*)$")


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def send_head(self):
        path = self.translate_path(self.path)
        match = RANGE.match(self.headers.get("Range", "").strip())
        if os.path.isdir(path) or not match or not os.path.isfile(path):
            return super().send_head()
        size = os.path.getsize(path)
        first, last = match.groups()
        if first == "":
            start, end = max(0, size - int(last or 0)), size - 1
        else:
            start, end = int(first), min(int(last), size - 1) if last else size - 1
        if start >= size or start > end:
            self.send_response(416)
            self.send_header("Content-Range", f"bytes */{size}")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        f = open(path, "rb")
        f.seek(start)
        self.send_response(206)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Range", f"bytes {start}-{end}/{size}")
        self.send_header("Content-Length", str(end - start + 1))
        self.end_headers()
        return _Limited(f, end - start + 1)

    def end_headers(self):
        if self.command in ("GET", "HEAD"):
            self.send_header("Accept-Ranges", "bytes")
            self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def copyfile(self, source, outputfile):
        try:
            super().copyfile(source, outputfile)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the browser cancels the rest of a range when it seeks


class _Limited:
    """A file read no further than n bytes, for a range's body."""

    def __init__(self, f, n):
        self.f, self.left = f, n

    def read(self, size=-1):
        if self.left <= 0:
            return b""
        size = self.left if size is None or size < 0 else min(size, self.left)
        data = self.f.read(size)
        self.left -= len(data)
        return data

    def close(self):
        self.f.close()


Handler.extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".webm": "video/webm"}


def start(folder, port=0):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=folder))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    server = start(args.folder, args.port)
    print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        server.shutdown()


if __name__ == "__main__":
    main()
