#!/usr/bin/env python3
"""Starts the game and a peer program alternately, each as a new user would (a fresh HOME and
settings every start), and reports for each the median time from exec to its first visible
window, the processor time it had used by then (all its threads; steadier than the wall time
on a busy machine), and its resident memory once the window has shown and settled.

The first visible window is seen the same way for both programs: the script listens on the
root window for windows being mapped (no window manager runs under Xvfb, so a mapped top-level
window is viewable at once) and takes the first one whose _NET_WM_PID is the started process.
Listening costs the measured program nothing, where polling xdotool or xwininfo would spend
the CPU the program needs.

Usage (needs a display; on a machine without one):
    xvfb-run -a bench/client/side_by_side.py build/release/app/zandupelix [--peer tanglet]
        [--runs 5] [--warmup 1] [--settle 2]
"""
import argparse
import ctypes
import ctypes.util
import glob
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import rss_kb, free_port  # noqa: E402

SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
MAP_NOTIFY = 19
XA_CARDINAL = 6


class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


class MapWatcher:
    """Reports the windows mapped on the display's root window, with the time each was seen."""

    def __init__(self):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.x.XPending.argtypes = [ctypes.c_void_p]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XInternAtom.restype = ctypes.c_ulong
        self.x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            sys.exit("side_by_side: no display (run under xvfb-run -a)")
        self.root = self.x.XDefaultRootWindow(self.display)
        self.pid_atom = self.x.XInternAtom(self.display, b"_NET_WM_PID", 0)
        self.x.XSelectInput(self.display, self.root, SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XFlush(self.display)
        self.fd = self.x.XConnectionNumber(self.display)

    def window_pid(self, window):
        kind = ctypes.c_ulong()
        fmt = ctypes.c_int()
        count = ctypes.c_ulong()
        after = ctypes.c_ulong()
        data = ctypes.c_void_p()
        status = self.x.XGetWindowProperty(self.display, window, self.pid_atom, 0, 1, 0,
                                           XA_CARDINAL, ctypes.byref(kind), ctypes.byref(fmt),
                                           ctypes.byref(count), ctypes.byref(after),
                                           ctypes.byref(data))
        pid = None
        if status == 0 and data.value:
            if count.value == 1 and fmt.value == 32:
                pid = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0]
            self.x.XFree(data)
        return pid

    def drain(self):
        """Forgets the mappings seen so far."""
        event = XEvent()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))

    def wait_for_window(self, pid, deadline):
        """The monotonic time the first window of `pid` was mapped, or None by the deadline."""
        event = XEvent()
        while True:
            while self.x.XPending(self.display):
                self.x.XNextEvent(self.display, ctypes.byref(event))
                if event.type == MAP_NOTIFY and not event.xmap.override_redirect:
                    seen = time.monotonic()
                    if self.window_pid(event.xmap.window) == pid:
                        return seen
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.fd], [], [], left)


def cpu_ms(pid):
    """Processor time used so far by all the process's threads (the scheduler's count, in ns)."""
    total = 0
    for path in glob.glob(f"/proc/{pid}/task/*/schedstat"):
        try:
            with open(path) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError):
            pass  # a thread that just ended
    return total / 1e6


def fresh_user():
    """A new user's HOME, also the working folder, and a private runtime folder."""
    home = tempfile.mkdtemp(prefix="zp-side-")
    runtime = os.path.join(home, "run")
    os.mkdir(runtime, 0o700)
    env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
    env.update(HOME=home, XDG_RUNTIME_DIR=runtime, QT_LOGGING_RULES="*.debug=false")
    return home, env


def start_once(watcher, command, settle, extra_env):
    home, env = fresh_user()
    env.update(extra_env)
    try:
        watcher.drain()
        started = time.monotonic()
        proc = subprocess.Popen(command, cwd=home, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            shown = watcher.wait_for_window(proc.pid, started + 30)
            if shown is None:
                raise RuntimeError(f"{command[0]} showed no window within 30 s")
            cpu = cpu_ms(proc.pid)
            time.sleep(settle)
            rss = rss_kb(proc.pid)
        finally:
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        return 1000 * (shown - started), cpu, rss / 1024
    finally:
        shutil.rmtree(home, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("game", help="the game's program, such as build/release/app/zandupelix")
    parser.add_argument("--peer", default="/usr/games/tanglet", help="the program to compare to")
    parser.add_argument("--runs", type=int, default=5, help="measured starts of each")
    parser.add_argument("--warmup", type=int, default=1,
                        help="starts of each before measuring, not counted (a cold disk cache)")
    parser.add_argument("--settle", type=float, default=2.0,
                        help="seconds after the window shows before memory is read")
    args = parser.parse_args()

    game = os.path.abspath(args.game)
    peer = shutil.which(args.peer) or args.peer
    watcher = MapWatcher()
    # The game's own table listens on a free port so a game open on this machine is no matter.
    programs = [("zandupelix", [game], {"ZANDUPELIX_PORT": str(free_port())}),
                (os.path.basename(peer), [peer], {})]
    results = {name: [] for name, _, _ in programs}
    for round_ in range(args.warmup + args.runs):
        for name, command, extra in programs:
            ms, cpu, mb = start_once(watcher, command, args.settle, extra)
            counted = round_ >= args.warmup
            if counted:
                results[name].append((ms, cpu, mb))
            print(f"{'run' if counted else 'warm-up'} {name}: window after {ms:.1f} ms "
                  f"({cpu:.1f} ms of processor), {mb:.1f} MB resident", flush=True)
    print()
    print(f"{'medians':<12} {'window (ms)':>12} {'processor (ms)':>15} {'resident (MB)':>14}")
    for name, runs in results.items():
        print(f"{name:<12} {statistics.median(r[0] for r in runs):>12.1f} "
              f"{statistics.median(r[1] for r in runs):>15.1f} "
              f"{statistics.median(r[2] for r in runs):>14.1f}")


if __name__ == "__main__":
    main()
