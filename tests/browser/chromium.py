#!/usr/bin/env python3
"""Starts Debian's Chromium headless with the extension loaded and a page open, on a fresh profile,
with the DevTools protocol on a free loopback port.

    chromium.py EXTENSION_DIR URL

prints the DevTools port and runs until interrupted. Importable: start() returns a Chromium, and
extension_id() the id the browser gives the extension."""
import base64
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

FLAGS = [
    "--headless=new",
    # Chromium's sandbox refuses to run as root.
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    # The test page starts its film with sound, as a film site would after a click.
    "--autoplay-policy=no-user-gesture-required",
    # Google-branded Chrome ignores --load-extension from version 137 on, by this feature; plain
    # Chromium (Debian's included) and Chrome for Testing load the extension with or without it.
    "--disable-features=DisableLoadExtensionCommandLineSwitch",
    "--window-size=1280,800",
]


def extension_id(extension):
    """The id from the manifest's key, as Chromium works it out: the first 32 hex digits of the key's
    SHA-256, each written as a letter from a (0) to p (15)."""
    with open(os.path.join(extension, "manifest.json")) as f:
        key = base64.b64decode(json.load(f)["key"])
    return "".join(chr(ord("a") + int(digit, 16)) for digit in hashlib.sha256(key).hexdigest()[:32])


def executable():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    raise FileNotFoundError("no chromium: apt-get install -y --no-install-recommends chromium")


class Chromium:
    def __init__(self, process, profile, port, log):
        self.process = process
        self.profile = profile
        self.port = port
        self.log = log

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def start(extension, url, log_path=os.devnull, extra_flags=(), timeout=30.0):
    """Chromium with the unpacked extension at `extension` and `url` in its one tab."""
    profile = tempfile.mkdtemp(prefix="dvbk-chromium.")
    command = [executable(), *FLAGS, *extra_flags, f"--user-data-dir={profile}", "--remote-debugging-port=0",
               f"--load-extension={os.path.abspath(extension)}", url]
    log = open(log_path, "ab")
    process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    # With port 0 Chromium picks a free port and writes it to the profile.
    port_file = os.path.join(profile, "DevToolsActivePort")
    deadline = time.time() + timeout
    while True:
        try:
            with open(port_file) as f:
                port = int(f.readline())
            break
        except (OSError, ValueError):
            pass
        if process.poll() is not None or time.time() > deadline:
            process.kill()
            shutil.rmtree(profile, ignore_errors=True)
            raise RuntimeError(f"chromium did not start (exit {process.poll()}); see {log_path}")
        time.sleep(0.05)
    return Chromium(process, profile, port, log_path)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    browser = start(argv[1], argv[2])
    print(browser.port, flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        browser.process.wait()
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        browser.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
