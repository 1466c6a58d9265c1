#!/usr/bin/env python3
"""A small Chrome DevTools Protocol client: the target list over HTTP, one WebSocket per target,
Runtime.evaluate, and helpers for a page's <video>.

    cdp.py PORT state                  the page's video: currentTime, paused, playbackRate, ...
    cdp.py PORT play|pause|remove
    cdp.py PORT seek SECONDS
    cdp.py PORT rate RATE
    cdp.py PORT eval EXPRESSION
    cdp.py PORT targets

PORT is the browser's --remote-debugging-port; the commands act on the first page target."""
import itertools
import json
import socket
import sys
import time
import urllib.parse
import urllib.request

import ws


class CdpError(Exception):
    pass


def http_json(port, path, method="GET"):
    request = urllib.request.Request(f"http://127.0.0.1:{port}{path}", method=method)
    with urllib.request.urlopen(request, timeout=10) as response:
        return json.load(response)


def targets(port):
    return http_json(port, "/json/list")


def find_target(port, test, timeout=10.0):
    """The first target for which test(target) holds, waiting for it to appear."""
    deadline = time.time() + timeout
    while True:
        for target in targets(port):
            if test(target):
                return target
        if time.time() > deadline:
            raise CdpError("no such target")
        time.sleep(0.1)


def page_target(port, url_part="", timeout=10.0):
    return find_target(port, lambda t: t["type"] == "page" and url_part in t["url"], timeout)


class Session:
    """One DevTools connection (to a page, a worker or the browser)."""

    def __init__(self, ws_url, timeout=30.0):
        parts = urllib.parse.urlsplit(ws_url)
        self.sock = socket.create_connection((parts.hostname, parts.port), timeout=timeout)
        key = ws.new_key()
        path = parts.path + (f"?{parts.query}" if parts.query else "")
        self.sock.sendall((f"GET {path} HTTP/1.1\r\nHost: {parts.hostname}:{parts.port}\r\n"
                           "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                           f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n").encode())
        head, rest = ws.read_head(self.sock)
        status, headers = ws.parse_head(head)
        if " 101 " not in status or headers.get("sec-websocket-accept") != ws.accept_key(key):
            raise CdpError(f"DevTools handshake failed: {status}")
        self.reader = ws.Reader(self.sock, rest)
        self.ids = itertools.count(1)
        self.events = []

    @classmethod
    def for_target(cls, target, timeout=30.0):
        return cls(target["webSocketDebuggerUrl"], timeout)

    @classmethod
    def for_browser(cls, port, timeout=30.0):
        return cls(http_json(port, "/json/version")["webSocketDebuggerUrl"], timeout)

    def close(self):
        try:
            self.sock.sendall(ws.encode(ws.CLOSE, (1000).to_bytes(2, "big"), mask=True))
        except OSError:
            pass
        self.sock.close()

    def _message(self):
        data = b""
        while True:
            fin, _, opcode, _, payload = self.reader.frame()
            if opcode == ws.PING:
                self.sock.sendall(ws.encode(ws.PONG, payload, mask=True))
                continue
            if opcode == ws.CLOSE:
                raise ws.Closed("DevTools closed the connection")
            data += payload
            if fin:
                return json.loads(data.decode("utf-8"))

    def call(self, method, params=None, session_id=None):
        number = next(self.ids)
        message = {"id": number, "method": method, "params": params or {}}
        if session_id:
            message["sessionId"] = session_id
        self.sock.sendall(ws.encode(ws.TEXT, json.dumps(message).encode(), mask=True))
        while True:
            reply = self._message()
            if reply.get("id") == number:
                if "error" in reply:
                    raise CdpError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            self.events.append(reply)

    def evaluate(self, expression, await_promise=False):
        """The value of a JavaScript expression in the target (by value: JSON-able results only)."""
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": await_promise})
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            text = details.get("exception", {}).get("description") or details.get("text")
            raise CdpError(f"{expression!r} threw: {text}")
        return result["result"].get("value")


# --- the page's video ---

VIDEO = "document.querySelector('video')"
CLOCK = "performance.timeOrigin + performance.now()"


def video_state(session):
    """The video's clock as the page sees it, and the page's time of reading (ms since the epoch)."""
    return session.evaluate(f"(() => {{ const v = {VIDEO}; if (!v) return null; return {{"
                            "currentTime: v.currentTime, paused: v.paused, playbackRate: v.playbackRate, "
                            f"duration: v.duration, readyState: v.readyState, now: {CLOCK}}}; }})()")


def play(session):
    return session.evaluate(f"{VIDEO}.play().then(() => {CLOCK})", await_promise=True)


def pause(session):
    return session.evaluate(f"({VIDEO}.pause(), {CLOCK})")


def seek(session, seconds):
    return session.evaluate(f"({VIDEO}.currentTime = {float(seconds)!r}, {CLOCK})")


def set_rate(session, rate):
    return session.evaluate(f"({VIDEO}.playbackRate = {float(rate)!r}, {CLOCK})")


def remove_video(session):
    return session.evaluate(f"({VIDEO}.remove(), {CLOCK})")


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    port, command, rest = int(argv[1]), argv[2], argv[3:]
    if command == "targets":
        print(json.dumps(targets(port), indent=2))
        return 0
    session = Session.for_target(page_target(port))
    try:
        actions = {
            "state": lambda: video_state(session),
            "play": lambda: play(session),
            "pause": lambda: pause(session),
            "remove": lambda: remove_video(session),
            "seek": lambda: seek(session, rest[0]),
            "rate": lambda: set_rate(session, rest[0]),
            "eval": lambda: session.evaluate(" ".join(rest), await_promise=True),
        }
        if command not in actions:
            print(__doc__, file=sys.stderr)
            return 2
        print(json.dumps(actions[command]()))
    finally:
        session.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
