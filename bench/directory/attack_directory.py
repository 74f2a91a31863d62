#!/usr/bin/env python3
"""Attacks zandupelix-directory as a hostile peer would, on this machine's loopback addresses
only, while a lobby keeps asking for the list; prints the directory's resident memory and the
lobby's waits as it goes and a summary at the end.

  unread-lists       The directory holds 10,000 tables (from 127.0.1.x, refreshed every 15 s).
                     600 connections (from 127.0.3.x, 6 an address) each ask for the list and
                     never read; one the directory lets go asks again on a new connection.
  slow-connections   12,300 connections from 50 addresses (127.0.4.x, 246 each) each send one
                     byte every 15 s, and connect again when they are let go or refused; a
                     table (from 127.0.1.200) keeps registering as a host does.

The lobby (from 127.0.0.1) asks for the list once a second: "list" is the time from its
connect to the end of the list; "refused" and "no answer" count the asks that got none.

Usage:
  bench/directory/attack_directory.py unread-lists build/release/app/zandupelix-directory
  bench/directory/attack_directory.py slow-connections build/release/app/zandupelix-directory
Options: --seconds N (how long the attack runs; 40 by default).
"""
import argparse
import errno
import multiprocessing
import os
import re
import resource
import select
import socket
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import cpu_seconds, rss_kb  # noqa: E402

END = b"\xff"
LIST = b"CMD_tablelist+" + END
TABLES = 10000
PER_ADDRESS = 64


def registration(n, port=None):
    """A table whose names take about what the directory allows (40 characters, a player's
    64 bytes): 10,000 of them make a list of about 4.6 MB."""
    port = 7000 + n % PER_ADDRESS if port is None else port
    name = f"Table {n:05d} " + "\U0001F0A1" * 28  # 40 characters, 124 bytes
    seats = [who + "\u00fc" * 28 + f"{n:04d}"[-4:] for who in ("A", "B", "C", "D")]
    fields = [str(port), name, "1.0.15", "playing", "300", "60", "2"] + seats
    return ("CMD_registertable+" + "+".join(fields) + "+").encode() + END


def kernel_tcp_mb():
    """Memory the machine's kernel holds for every TCP socket (both ends of loopback)."""
    with open("/proc/net/sockstat") as f:
        pages = int(re.search(r"TCP:.* mem (\d+)", f.read()).group(1))
    return pages * os.sysconf("SC_PAGE_SIZE") / 2**20


class Hosts:
    """Tables registered from a few addresses, one connection each, and registered again
    every 15 s as hosts do; a host the directory let go connects again."""

    def __init__(self, port, groups):
        self.port = port
        self.groups = groups  # (address, the tables it registers)
        self.socks = [None] * len(self.groups)
        self.answers = 0
        self.lock = threading.Lock()
        self.stopped = False

    def _connect(self, h):
        sock = socket.socket()
        sock.bind((self.groups[h][0], 0))
        sock.connect(("127.0.0.1", self.port))
        self.socks[h] = sock
        threading.Thread(target=self._read, args=(sock,), daemon=True).start()

    def _read(self, sock):
        while True:
            try:
                chunk = sock.recv(65536)
            except OSError:
                return
            if not chunk:
                return
            with self.lock:
                self.answers += chunk.count(END)

    def register_all(self):
        """Sends every registration in shares of 16 and waits for the answers."""
        want = self.answers
        for step in range(0, PER_ADDRESS, 16):
            for h, (_, group) in enumerate(self.groups):
                part = group[step:step + 16]
                if not part:
                    continue
                try:
                    if self.socks[h] is None:
                        self._connect(h)
                    self.socks[h].sendall(b"".join(registration(n) for n in part))
                except OSError:
                    self.socks[h] = None
                    continue
                want += len(part)
            deadline = time.time() + 10
            while self.answers < want and time.time() < deadline:
                time.sleep(0.001)

    def keep_refreshing(self):
        while not self.stopped:
            for _ in range(150):
                if self.stopped:
                    return
                time.sleep(0.1)
            self.register_all()


def ask_list(port, timeout=15.0):
    """The lobby's ask: ("list", seconds, tables) or ("refused"|"no answer", seconds, 0)."""
    start = time.perf_counter()
    try:
        sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    except OSError:
        return "no answer", time.perf_counter() - start, 0
    try:
        sock.settimeout(max(0.1, timeout - (time.perf_counter() - start)))
        sock.sendall(LIST)
        data = bytearray()
        while True:
            chunk = sock.recv(1 << 20)
            if not chunk:
                break
            data += chunk
            if b"CMD_tablelistend+" in data[-64:]:
                return "list", time.perf_counter() - start, data.count(b"CMD_listedtable+")
        what = "refused" if data.startswith(b"CMD_refused+") else "no answer"
        return what, time.perf_counter() - start, 0
    except OSError:
        return "no answer", time.perf_counter() - start, 0
    finally:
        sock.close()


class Crowd:
    """Many attacking connections on one epoll: each sends `first` once connected (and
    `trickle`, one byte, every `every` seconds); one that is closed, reset or refused is
    opened again."""

    def __init__(self, port, addresses, per_address, first, every=None):
        self.port = port
        self.slots = [(a, i) for a in addresses for i in range(per_address)]
        self.first = first
        self.every = every
        self.poll = None     # made in the attacking process
        self.by_fd = {}      # fd -> slot index
        self.socks = {}      # slot index -> socket
        self.next_byte = {}  # slot index -> (when, offset into `first`)
        # Shared with the measuring process: the attack runs in a process of its own, so
        # that the lobby's timing is not the attacker's.
        self.reopened = multiprocessing.Value("l", 0)
        self.open_now = multiprocessing.Value("l", 0)
        self.stopped = multiprocessing.Event()

    def open(self, slot):
        address, _ = self.slots[slot]
        sock = socket.socket()
        sock.setblocking(False)
        try:
            sock.bind((address, 0))
            err = sock.connect_ex(("127.0.0.1", self.port))
        except OSError:
            sock.close()
            return
        if err not in (0, errno.EINPROGRESS):
            sock.close()
            return
        self.socks[slot] = sock
        self.by_fd[sock.fileno()] = slot
        self.poll.register(sock.fileno(), select.EPOLLOUT | select.EPOLLRDHUP | select.EPOLLHUP
                           | select.EPOLLERR)

    def close(self, slot):
        sock = self.socks.pop(slot, None)
        if sock is None:
            return
        self.next_byte.pop(slot, None)
        self.by_fd.pop(sock.fileno(), None)
        try:
            self.poll.unregister(sock.fileno())
        except OSError:
            pass
        sock.close()

    def run(self):
        self.poll = select.epoll()
        for slot in range(len(self.slots)):
            self.open(slot)
        last_reopen = time.time()
        while not self.stopped.is_set():
            self.open_now.value = len(self.socks)
            for fd, events in self.poll.poll(0.2):
                slot = self.by_fd.get(fd)
                if slot is None:
                    continue
                sock = self.socks[slot]
                if events & (select.EPOLLRDHUP | select.EPOLLHUP | select.EPOLLERR):
                    self.close(slot)
                    continue
                if events & select.EPOLLOUT:
                    # Connected: the first bytes now, then wait only for the close.
                    self.poll.modify(fd, select.EPOLLRDHUP | select.EPOLLHUP | select.EPOLLERR)
                    if self.every is None:
                        try:
                            sock.send(self.first)
                        except OSError:
                            self.close(slot)
                    else:
                        self.next_byte[slot] = (time.time(), 0)
            now = time.time()
            if self.every is not None:
                for slot, (when, offset) in list(self.next_byte.items()):
                    if when <= now:
                        try:
                            self.socks[slot].send(self.first[offset:offset + 1])
                        except OSError:
                            self.close(slot)
                            continue
                        self.next_byte[slot] = (now + self.every, (offset + 1) % len(self.first))
            if now - last_reopen >= 0.5:
                last_reopen = now
                for slot in range(len(self.slots)):
                    if slot not in self.socks:
                        self.reopened.value += 1
                        self.open(slot)
        for slot in list(self.socks):
            self.close(slot)


def attack(program, kind, seconds):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    proc = subprocess.Popen([os.path.abspath(program), "--port", "0"], stdout=subprocess.PIPE,
                            text=True)
    hosts = None
    try:
        port = int(re.search(r"port (\d+)", proc.stdout.readline()).group(1))
        threading.Thread(target=proc.stdout.read, daemon=True).start()
        if kind == "unread-lists":
            hosts = Hosts(port, [(f"127.0.1.{h + 1}",
                                  list(range(h * PER_ADDRESS, min(TABLES, (h + 1) * PER_ADDRESS))))
                                 for h in range((TABLES + PER_ADDRESS - 1) // PER_ADDRESS)])
            hosts.register_all()
            threading.Thread(target=hosts.keep_refreshing, daemon=True).start()
            addresses = [f"127.0.3.{a + 1}" for a in range(100)]
            crowd = Crowd(port, addresses, 6, LIST)
        else:
            hosts = Hosts(port, [("127.0.1.200", [0])])
            hosts.register_all()
            threading.Thread(target=hosts.keep_refreshing, daemon=True).start()
            addresses = [f"127.0.4.{a + 1}" for a in range(50)]
            crowd = Crowd(port, addresses, 246, LIST, every=15)
        kind_of, took, count = ask_list(port)
        print(f"before the attack: resident {rss_kb(proc.pid) / 1024:.0f} MB, list of {count} "
              f"tables in {took * 1000:.0f} ms", flush=True)

        runner = multiprocessing.Process(target=crowd.run, daemon=True)
        runner.start()
        start = time.time()
        rss_peak = 0
        kernel_peak = 0.0
        outcomes = []
        cpu_start = cpu_seconds(proc.pid)
        while time.time() - start < seconds:
            tick = time.time()
            what, took, count = ask_list(port)
            outcomes.append((what, took))
            rss = rss_kb(proc.pid)
            kernel = kernel_tcp_mb()
            rss_peak = max(rss_peak, rss)
            kernel_peak = max(kernel_peak, kernel)
            print(f"{tick - start:5.1f} s  resident {rss / 1024:6.0f} MB  kernel TCP "
                  f"{kernel:6.0f} MB  attackers open {crowd.open_now.value:5d}  lobby: {what} "
                  f"{took * 1000:.0f} ms" + (f" ({count} tables)" if what == "list" else ""),
                  flush=True)
            time.sleep(max(0.0, 1.0 - (time.time() - tick)))
        cpu = (cpu_seconds(proc.pid) - cpu_start) / (time.time() - start)
        crowd.stopped.set()
        runner.join(timeout=10)
        if runner.is_alive():
            runner.kill()
        lists = [took for what, took in outcomes if what == "list"]
        failed = len(outcomes) - len(lists)
        print(f"summary ({kind}, {seconds} s): resident peak {rss_peak / 1024:.0f} MB, kernel "
              f"TCP peak {kernel_peak:.0f} MB; lobby asks {len(outcomes)}, answered "
              f"{len(lists)}, not answered {failed}" +
              (f"; list time median {statistics.median(lists) * 1000:.0f} ms, max "
               f"{max(lists) * 1000:.0f} ms" if lists else ""), flush=True)
        print(f"directory still running: {proc.poll() is None}; it used {cpu * 100:.0f}% of a "
              f"core; attacking connections opened again: {crowd.reopened.value}")
    finally:
        if hosts:
            hosts.stopped = True
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kind", choices=["unread-lists", "slow-connections"])
    parser.add_argument("program")
    parser.add_argument("--seconds", type=float, default=40)
    args = parser.parse_args()
    attack(args.program, args.kind, args.seconds)


if __name__ == "__main__":
    main()
