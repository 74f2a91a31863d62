#!/usr/bin/env python3
"""Measures zandupelix-server as a process: resident memory with nine players during a
game, memory while a peer sends 100 MB without a terminator, and CPU while idle.

Usage: bench/server/measure_server.py build/release/app/zandupelix-server
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import rss_kb, cpu_seconds  # noqa: E402

END = b"\xff"


class Player:
    def __init__(self, port, name):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.sock.settimeout(5)
        self.buffer = b""
        hello = self.wait(b"CMD_sendlogininfo+")
        self.n = int(hello.split(b"+")[1])
        self.send(b"CMD_logininfo+%d+1.0.15+%s" % (self.n, name.encode()) + END)

    def send(self, message):
        self.sock.sendall(message if message.endswith(END) else message + END)

    def wait(self, prefix):
        while True:
            while END in self.buffer:
                message, self.buffer = self.buffer.split(END, 1)
                if message.startswith(prefix):
                    return message
            chunk = self.sock.recv(65536)
            if not chunk:
                raise RuntimeError("connection closed")
            self.buffer += chunk

    def drain(self):
        self.sock.setblocking(False)
        try:
            while self.sock.recv(65536):
                pass
        except BlockingIOError:
            pass
        self.sock.settimeout(5)
        self.buffer = b""


def main():
    server = sys.argv[1]
    workdir = tempfile.mkdtemp(prefix="zp-measure-")
    proc = subprocess.Popen([os.path.abspath(server), "--port", "0", "--tick-ms", "50"],
                            cwd=workdir, stdout=subprocess.PIPE, text=True)
    try:
        port = int(re.search(r"port (\d+)", proc.stdout.readline()).group(1))
        # The server reports arrivals on stdout; keep reading so it never waits on a full pipe.
        threading.Thread(target=proc.stdout.read, daemon=True).start()
        print(f"resident memory at start: {rss_kb(proc.pid)} kB")

        players = [Player(port, f"p{i}") for i in range(1, 10)]
        for p in players:
            p.wait(b"CMD_newplayerinfo+%d+" % p.n)
        time.sleep(1)
        for p in players:
            p.drain()
        before = cpu_seconds(proc.pid)
        time.sleep(10)
        idle = cpu_seconds(proc.pid) - before
        print(f"CPU while idle with nine connections: {idle:.3f} s in 10 s ({idle * 10:.2f} %)")

        host = players[0]
        host.send(b"CMD_startgame+p1+500+30+f+2+")
        host.wait(b"CMD_nextplayer+")
        peak = 0
        for _ in range(40):  # 40 game seconds at 50 ms each
            time.sleep(0.05)
            peak = max(peak, rss_kb(proc.pid))
            for p in players:
                p.drain()
        print(f"resident memory with nine players during a game: {peak} kB (peak)")

        flooder = players[8]
        start_rss = rss_kb(proc.pid)
        chunk = b"x" * (1 << 20)
        worst = start_rss
        for i in range(100):
            flooder.sock.sendall(chunk)
            if i % 10 == 9:
                worst = max(worst, rss_kb(proc.pid))
                for p in players[:8]:
                    p.drain()
        time.sleep(0.5)
        worst = max(worst, rss_kb(proc.pid))
        print(f"100 MB without a terminator: resident memory {start_rss} kB before, "
              f"{worst} kB at most during, {rss_kb(proc.pid)} kB after")
        players[1].send(b"CMD_chat+2+still served|clBlack")
        reply = host.wait(b"CMD_chat+2+")
        print(f"another player still served: {reply.decode(errors='replace')}")
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        leftover = os.listdir(workdir)
        print(f"server exit code {proc.returncode}; files left in its folder: {leftover or 'none'}")
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
