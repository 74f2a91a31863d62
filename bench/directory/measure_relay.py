#!/usr/bin/env python3
"""Measures zandupelix-directory relaying 1,000 tables of four players each over loopback:
the round trip a relayed message adds over a direct one, and the directory's resident memory
and CPU while every table passes ten messages a second (five to its players, five from
them), with what that costs per relayed player.

Every table is a host at a loopback address of its own (127.2.x.y) that registers a port
nothing listens on, so the directory relays it; its four players come from 127.3.x.y. The
tables' and players' sides are played by this script.

Usage: bench/directory/measure_relay.py build/release/app/zandupelix-directory [TABLES] [SECONDS]
"""
import os
import re
import resource
import selectors
import socket
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import cpu_seconds, free_port, rss_kb  # noqa: E402

END = b"\xff"
PLAYERS = 4
RATE = 10  # messages a table a second, both ways together
# A chat line as a table relays it: about the size of a typical message.
LINE = b"CMD_chat+2+Bartholomew chats: nice word|clBlack" + END


def address(base, n):
    return "127.%d.%d.%d" % (base, n // 250, n % 250 + 1)


class Conn:
    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""
        self.handler = None


class World:
    def __init__(self):
        self.sel = selectors.DefaultSelector()

    def open(self, source, port, handler):
        sock = socket.socket()
        sock.bind((source, 0))
        sock.setblocking(False)
        sock.connect_ex(("127.0.0.1", port))
        conn = Conn(sock)
        conn.handler = handler
        self.sel.register(sock, selectors.EVENT_READ, conn)
        return conn

    def poll(self, timeout):
        for key, _ in self.sel.select(timeout):
            conn = key.data
            try:
                chunk = conn.sock.recv(65536)
            except (BlockingIOError, ConnectionResetError):
                continue
            if not chunk:
                self.sel.unregister(conn.sock)
                continue
            conn.buffer += chunk
            while END in conn.buffer:
                message, conn.buffer = conn.buffer.split(END, 1)
                conn.handler(conn, message)

    def until(self, done, seconds, what):
        deadline = time.time() + seconds
        while not done():
            if time.time() > deadline:
                sys.exit("gave up waiting for " + what)
            self.poll(0.05)


def send(conn, data):
    conn.sock.setblocking(True)
    conn.sock.sendall(data)
    conn.sock.setblocking(False)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    program = sys.argv[1]
    tables = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))

    port, relay_port = free_port(), free_port()
    directory = subprocess.Popen([program, "--port", str(port), "--relay-port", str(relay_port)],
                                 stdout=subprocess.DEVNULL)
    world = World()
    try:
        time.sleep(0.5)
        rss_start = rss_kb(directory.pid)
        codes = {}
        backs = {t: [] for t in range(tables)}

        def table_handler(t):
            def handle(conn, message):
                if message.startswith(b"CMD_reach+"):
                    fields = message.split(b"+")
                    if fields[2] == b"relayed":
                        codes[t] = fields[3].decode()
                elif message.startswith(b"CMD_relayopen+"):
                    ticket = message.split(b"+")[3]
                    back = world.open(address(2, t), relay_port, echo_back)
                    backs[t].append(back)
                    send(back, b"CMD_relayback+" + ticket + b"+" + END)
                    send(back, b"CMD_sendlogininfo+%d+" % len(backs[t]) + END)
            return handle

        def echo_back(conn, message):
            if message.startswith(b"PING"):
                send(conn, message + END)

        hosts = []
        for t in range(tables):
            host = world.open(address(2, t), port, table_handler(t))
            hosts.append(host)
            # Port 9 at the table's address: nothing answers the directory's check there.
            send(host, b"CMD_reachme+9+public+" + END +
                 b"CMD_registertable+9+Relayed table %d+1.0.15+playing+300+60+0+"
                 b"P1+P2+P3+P4+classic+" % t + END)
        world.until(lambda: len(codes) == tables, 120, "every table relayed")
        rss_tables = rss_kb(directory.pid)

        joined = {"n": 0}
        pongs = []

        def player_handler(conn, message):
            if message == b"CMD_relayed+":
                joined["n"] += 1
            elif message.startswith(b"PING"):
                pongs.append(time.perf_counter() - float(message[4:]))

        players = {t: [] for t in range(tables)}
        started = time.time()
        for t in range(tables):
            for p in range(PLAYERS):
                player = world.open(address(3, t), relay_port, player_handler)
                players[t].append(player)
                send(player, b"CMD_relayjoin+" + codes[t].encode() + b"+" + END)
            world.poll(0)
        world.until(lambda: joined["n"] == tables * PLAYERS, 120, "every player joined")
        join_seconds = time.time() - started
        time.sleep(1)
        world.poll(0)
        rss_joined = rss_kb(directory.pid)

        # The round trip: player -> relay -> table -> relay -> player, and the same over one
        # direct loopback connection to an echo of this script's own.
        def round_trips(count):
            del pongs[:]
            for i in range(count):
                player = players[i % tables][0]
                send(player, b"PING%.9f" % time.perf_counter() + END)
                world.until(lambda: len(pongs) == i + 1, 5, "a pong")
            return statistics.median(pongs) * 1e6

        relayed_idle = round_trips(200)
        echo = socket.socket()
        echo.bind(("127.0.0.1", 0))
        echo.listen()
        direct = socket.create_connection(echo.getsockname())
        peer, _ = echo.accept()
        direct_times = []
        for _ in range(200):
            t0 = time.perf_counter()
            direct.sendall(b"PING" + END)
            peer.recv(64)
            peer.sendall(b"PING" + END)
            direct.recv(64)
            direct_times.append(time.perf_counter() - t0)
        direct_us = statistics.median(direct_times) * 1e6

        # The load: each table's share of RATE, spread over the second in tenths.
        cpu_before = cpu_seconds(directory.pid)
        wall_before = time.time()
        sent = 0
        step = 0
        while time.time() - wall_before < seconds:
            tick = wall_before + step * 0.1
            for t in range(tables):
                if (t + step) % 2 == 0:
                    send(players[t][step % PLAYERS], LINE)
                else:
                    send(backs[t][step % PLAYERS], LINE)
                sent += 1
            step += 1
            while time.time() < tick + 0.1:
                world.poll(max(0, tick + 0.1 - time.time()))
        wall = time.time() - wall_before
        cpu = cpu_seconds(directory.pid) - cpu_before
        relayed_loaded = round_trips(100)
        rss_loaded = rss_kb(directory.pid)

        relayed_players = tables * PLAYERS
        print("tables relayed: %d, players: %d (joined in %.1f s)" %
              (tables, relayed_players, join_seconds))
        print("resident memory: %.1f MB at start, %.1f MB with the tables, %.1f MB with the "
              "players, %.1f MB after the load" %
              (rss_start / 1024, rss_tables / 1024, rss_joined / 1024, rss_loaded / 1024))
        print("per relayed player: %.1f KB" % ((rss_joined - rss_tables) / relayed_players))
        print("load: %d messages in %.1f s (%.0f a second, %.1f a table), directory CPU %.1f%% "
              "of one core" % (sent, wall, sent / wall, sent / wall / tables, 100 * cpu / wall))
        print("CPU per relayed player: %.3f%% of one core" % (100 * cpu / wall / relayed_players))
        print("round trip: direct %.0f us, relayed %.0f us idle (adds %.0f us), %.0f us under "
              "load" % (direct_us, relayed_idle, relayed_idle - direct_us, relayed_loaded))
    finally:
        directory.terminate()
        directory.wait()


if __name__ == "__main__":
    main()
