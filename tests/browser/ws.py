"""RFC 6455 framing over a plain socket, shared by the DevTools client and the fake program."""
import base64
import hashlib
import os
import struct

GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"

CONTINUATION, TEXT, BINARY, CLOSE, PING, PONG = 0x0, 0x1, 0x2, 0x8, 0x9, 0xA


class Closed(Exception):
    """The peer closed the connection (or the socket ended)."""


def accept_key(key):
    return base64.b64encode(hashlib.sha1((key + GUID).encode()).digest()).decode()


def new_key():
    return base64.b64encode(os.urandom(16)).decode()


def read_head(sock, limit=65536):
    """The bytes up to and including the blank line that ends an HTTP head, and what came after."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(4096)
        if not chunk:
            raise Closed("connection ended in the HTTP head")
        data += chunk
        if len(data) > limit:
            raise ValueError("HTTP head too long")
    head, _, rest = data.partition(b"\r\n\r\n")
    return head.decode("latin-1"), rest


def parse_head(head):
    """(first line, {lower-case header name: value})."""
    lines = head.split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return lines[0], headers


class Reader:
    """Reads whole frames from a socket, starting with any bytes already read past the HTTP head."""

    def __init__(self, sock, pending=b""):
        self.sock = sock
        self.buffer = pending

    def _exactly(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(max(65536, n - len(self.buffer)))
            if not chunk:
                raise Closed("connection ended")
            self.buffer += chunk
        out, self.buffer = self.buffer[:n], self.buffer[n:]
        return out

    def frame(self):
        """(fin, rsv bits, opcode, masked, payload) of the next frame, unmasked."""
        b0, b1 = self._exactly(2)
        fin = bool(b0 & 0x80)
        rsv = (b0 >> 4) & 0x7
        opcode = b0 & 0x0F
        masked = bool(b1 & 0x80)
        length = b1 & 0x7F
        if length == 126:
            (length,) = struct.unpack(">H", self._exactly(2))
        elif length == 127:
            (length,) = struct.unpack(">Q", self._exactly(8))
        mask = self._exactly(4) if masked else None
        payload = self._exactly(length)
        if mask:
            payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        return fin, rsv, opcode, masked, payload


def encode(opcode, payload, mask):
    """One unfragmented frame; clients must mask, servers must not."""
    head = bytes([0x80 | opcode])
    bit = 0x80 if mask else 0
    n = len(payload)
    if n < 126:
        head += bytes([bit | n])
    elif n < 65536:
        head += bytes([bit | 126]) + struct.pack(">H", n)
    else:
        head += bytes([bit | 127]) + struct.pack(">Q", n)
    if mask:
        key = os.urandom(4)
        head += key
        payload = bytes(b ^ key[i % 4] for i, b in enumerate(payload))
    return head + payload
