#!/usr/bin/env python3
"""Measures the game as a process. In a solo game: the time from start to its own login
(the table inside it listening, the word file written, the window shown), its CPU while the
window sits idle, and its resident memory. Then, joined to a headless table: its CPU during
another player's turn, with the clock running and a pick arriving every second.

Usage (needs a display; on a machine without one):
    xvfb-run -a bench/client/measure_game.py build/release/app/zandupelix [SECONDS]
(zandupelix-server is taken from the same folder.)
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import rss_kb, cpu_seconds, free_port, read_until  # noqa: E402

END = b"\xff"


def wait_until_logged_in(port, started, deadline=20.0):
    """Joins the table as a watcher and returns when the solo player "You" is logged in."""
    while True:
        try:
            sock = socket.create_connection(("127.0.0.1", port), timeout=0.05)
            break
        except OSError:
            if time.monotonic() - started > deadline:
                raise RuntimeError("the table never listened")
            time.sleep(0.002)
    sock.settimeout(5)
    buffer = b""
    me = None
    while True:
        while END in buffer:
            message, buffer = buffer.split(END, 1)
            if message.startswith(b"CMD_sendlogininfo+"):
                me = int(message.split(b"+")[1])
                sock.sendall(b"CMD_logininfo+%d+1.0.15+watcher" % me + END + END)
            elif message in (b"CMD_newplayerinfo+1+You", b"CMD_existingplayers+1+You"):
                return time.monotonic(), sock
        chunk = sock.recv(65536)
        if not chunk:
            raise RuntimeError("the table closed the connection")
        buffer += chunk


def measure_watching(game, work, env, seconds):
    """The window in seat 2 while seat 1 takes a long turn and picks a tile every second."""
    server_bin = os.path.join(os.path.dirname(game), "zandupelix-server")
    port = int(env["ZANDUPELIX_PORT"])
    table = subprocess.Popen([server_bin, "--port", str(port)], cwd=work,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 10
        while True:
            try:
                host = socket.create_connection(("127.0.0.1", port), timeout=5)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.01)
        _, buffer = read_until(host, b"CMD_sendlogininfo+1")
        host.sendall(b"CMD_logininfo+1+1.0.15+Host" + END + END)
        window = subprocess.Popen([game, "Ann", "127.0.0.1", "false"], cwd=work, env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, buffer = read_until(host, b"CMD_newplayerinfo+2+Ann", buffer)
        turn = seconds + 10
        host.sendall(b"CMD_startgame+Host+10000+%d+f+0+" % min(turn, 3600) + END)
        time.sleep(2)
        before = cpu_seconds(window.pid)
        cells = [(a, 0) for a in range(7)]
        for second in range(seconds):
            index = second % 7
            if index == 0:
                host.sendall(b"CMD_selectclear+1+" + END)
            a, b = cells[index]
            host.sendall(b"CMD_selectletter+1+%d+%d+%d+" % (index + 1, a, b) + END)
            time.sleep(1)
        used = cpu_seconds(window.pid) - before
        print(f"CPU during another's turn over {seconds} s: {100 * used / seconds:.2f}% of a core")
        window.terminate()
        window.wait(timeout=10)
        host.close()
    finally:
        table.terminate()
        table.wait(timeout=10)


def main():
    game = os.path.abspath(sys.argv[1])
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    work = tempfile.mkdtemp(prefix="zp-measure-")
    env = dict(os.environ, ZANDUPELIX_PORT=str(free_port()), XDG_RUNTIME_DIR=work,
               HOME=work, QT_LOGGING_RULES="*.debug=false")
    port = int(env["ZANDUPELIX_PORT"])
    try:
        started = time.monotonic()
        proc = subprocess.Popen([game], cwd=work, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        logged_in, sock = wait_until_logged_in(port, started)
        print(f"start to the own login: {1000 * (logged_in - started):.0f} ms")
        sock.close()
        time.sleep(3)  # the watcher's departure settles
        before = cpu_seconds(proc.pid)
        time.sleep(seconds)
        used = cpu_seconds(proc.pid) - before
        print(f"idle CPU over {seconds} s: {100 * used / seconds:.2f}% of a core")
        print(f"resident memory: {rss_kb(proc.pid) / 1024:.1f} MB")
        proc.terminate()
        proc.wait(timeout=10)
        measure_watching(game, work, env, seconds)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
