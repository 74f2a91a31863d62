#!/usr/bin/env python3
"""A hostile table floods a joined window with made words of the largest size a message
may carry, and this reports the window's resident memory before and after: the word list,
the status line and the seats must stay bounded whatever the table sends.

Usage (needs a display; on a machine without one):
    xvfb-run -a bench/gui/measure_word_flood.py build/release/app/zandupelix [WORDS]
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import rss_kb, cpu_seconds, read_until  # noqa: E402

END = b"\xff"
MAX_MESSAGE = 8 * 1024


def settle(pid, quiet=1.0, limit=120.0):
    """Waits until the process has used under 2% of a core for `quiet` seconds."""
    started = time.monotonic()
    while time.monotonic() - started < limit:
        before = cpu_seconds(pid)
        time.sleep(quiet)
        if cpu_seconds(pid) - before < 0.02 * quiet:
            return time.monotonic() - started
    raise RuntimeError("the window never settled")


def made_word(k):
    head = b"CMD_madeword+1+"
    tail = b"+5+%d+0+0+3+3" % (5 * (k + 1))
    # Each word different, as long as one message may be.
    stem = b"W%dX" % k
    word = stem + b"Q" * (MAX_MESSAGE - 1 - len(head) - len(tail) - len(stem))
    return head + word + tail + END


def main():
    game = os.path.abspath(sys.argv[1])
    words = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
    work = tempfile.mkdtemp(prefix="zp-flood-")
    listener = socket.create_server(("127.0.0.1", 0))
    port = listener.getsockname()[1]
    env = dict(os.environ, ZANDUPELIX_PORT=str(port), XDG_RUNTIME_DIR=work, HOME=work,
               QT_LOGGING_RULES="*.debug=false")
    window = subprocess.Popen([game, "Ann", "127.0.0.1", "false"], cwd=work, env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        listener.settimeout(20)
        sock, _ = listener.accept()
        sock.settimeout(30)
        sock.sendall(b"CMD_sendlogininfo+1+" + END)
        _, buffer = read_until(sock, b"CMD_logininfo+1+")
        sock.sendall(b"CMD_newplayerinfo+1+Ann" + END + b"CMD_newplayerinfo+2+Bo" + END)
        settle(window.pid)
        before = rss_kb(window.pid)
        sent = time.monotonic()
        # As fast as a table can without overrunning the window's inbox (a window drops a
        # table that has sent it 4 MB it could not read yet): 50 words, then a breath.
        for first in range(0, words, 50):
            sock.sendall(b"".join(made_word(k) for k in range(first, min(first + 50, words))))
            time.sleep(0.05)
        flooded = time.monotonic() - sent
        took = settle(window.pid)
        after = rss_kb(window.pid)
        print(f"{words} made words of {MAX_MESSAGE} bytes ({words * MAX_MESSAGE / 2**20:.1f} MB) "
              f"sent in {flooded:.1f} s")
        print(f"resident before: {before / 1024:.1f} MB, after: {after / 1024:.1f} MB "
              f"(+{(after - before) / 1024:.1f} MB)")
        print(f"the window caught up within {took:.1f} s of the flood")
        print(f"still connected: {window.poll() is None}")
        if os.environ.get("ZP_SHOT"):  # a picture of the screen after the flood
            subprocess.run(["import", "-window", "root", os.environ["ZP_SHOT"]], check=False)
        sock.close()
    finally:
        window.terminate()
        window.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
