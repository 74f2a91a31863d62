#!/usr/bin/env python3
"""Measures zandupelix-directory as a process holding 10,000 tables: registrations per
second over loopback, resident memory, and the time a lobby waits for the full list.

The tables come from 157 loopback addresses (127.0.1.x, at most 64 tables each), one
connection per address, as hosts behind one address share a directory's limit.

Usage: bench/directory/measure_directory.py build/release/app/zandupelix-directory
"""
import os
import re
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import rss_kb  # noqa: E402

END = b"\xff"
TABLES = 10000
PER_ADDRESS = 64


def registration(n):
    # Nothing listens at these ports: the directory lists them through its relay, as they
    # ask with CMD_reachme.
    port = 7000 + n % PER_ADDRESS
    return (b"CMD_reachme+%d+public+" % port) + END + (b"CMD_registertable+%d+Thursday club table %d+1.0.15+playing+300+60+2+"
            b"Annabel%d+Bartholomew+Cyrus+Delphine+" % (port, n, n)) + END


class Host:
    """One source address registering its tables and reading the directory's answers."""

    def __init__(self, address, port):
        self.sock = socket.socket()
        self.sock.bind((address, 0))
        self.sock.connect(("127.0.0.1", port))
        self.answers = 0
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        while True:
            chunk = self.sock.recv(65536)
            if not chunk:
                return
            self.answers += chunk.count(END)


def ask_list(port):
    start = time.perf_counter()
    sock = socket.create_connection(("127.0.0.1", port))
    sock.sendall(b"CMD_tablelist+" + END)
    data = bytearray()
    while b"CMD_tablelistend+" not in data[-64:]:
        chunk = sock.recv(1 << 20)
        if not chunk:
            break
        data += chunk
    took = time.perf_counter() - start
    sock.close()
    return took, len(data), data.count(b"CMD_listedtable+")


def main():
    program = sys.argv[1]
    proc = subprocess.Popen([os.path.abspath(program), "--port", "0"], stdout=subprocess.PIPE,
                            text=True)
    try:
        port = int(re.search(r"port (\d+)", proc.stdout.readline()).group(1))
        threading.Thread(target=proc.stdout.read, daemon=True).start()
        print(f"resident memory at start: {rss_kb(proc.pid)} kB")

        hosts = [Host(f"127.0.1.{i + 1}", port) for i in range((TABLES + 63) // PER_ADDRESS)]
        messages = [[registration(n) for n in range(h * PER_ADDRESS,
                                                    min(TABLES, (h + 1) * PER_ADDRESS))]
                    for h in range(len(hosts))]
        share = 16  # the messages a peer may have waiting
        for round_ in range(2):  # the first fills the directory, the second refreshes it
            start = time.perf_counter()
            answered = round_ * TABLES
            for step in range(0, PER_ADDRESS, share):
                for host, mine in zip(hosts, messages):
                    host.sock.sendall(b"".join(mine[step:step + share]))
                answered += sum(len(mine[step:step + share]) for mine in messages)
                while sum(h.answers for h in hosts) < answered:
                    time.sleep(0.0005)
            took = time.perf_counter() - start
            what = "registrations" if round_ == 0 else "refreshes"
            print(f"{TABLES} {what} in {took:.3f} s: {TABLES / took:.0f} a second")
        print(f"resident memory holding {TABLES} tables: {rss_kb(proc.pid)} kB")

        for _ in range(3):
            took, size, count = ask_list(port)
            print(f"full list: {count} tables, {size} bytes, answered in {took * 1000:.1f} ms")
        print(f"resident memory after three lists: {rss_kb(proc.pid)} kB")
    finally:
        proc.terminate()
        proc.wait(timeout=10)


if __name__ == "__main__":
    main()
