#!/usr/bin/env python3
"""Takes the AppStream metadata's screenshots from our own programs, under Xvfb.

    packaging/screenshots/take_screenshots.py [build/release]

The release build is installed into a scratch folder and run from there, as a player runs it.
game.png: a game in play, seen by Bea, who joined a headless table whose host Ann started it;
the computer player takes an empty seat. lobby.png: Bea's lobby listing that table and others
that a table directory lists. Needs xvfb, imagemagick and xdotool (scripts/install-deps.sh
--tools). Every program listens on free ports of 127.0.0.1, never the game's own.
"""

import os
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                        os.path.join(HERE, "..", "..", "build", "release"))


def free_port():
    while True:
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        if port not in (7771, 7772, 9001):
            return port


def wait_for_line(process_log, text, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open(process_log, encoding="utf-8", errors="replace") as f:
            if text in f.read():
                return
        time.sleep(0.1)
    raise RuntimeError(f"never said {text!r}: see {process_log}")


def window_of(name, env, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--name", name], env=env,
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.2)
    raise RuntimeError(f"no window named {name!r}")


def shoot(window, target, env):
    subprocess.run(["import", "-window", window, "-strip", target], env=env, check=True)
    subprocess.run(["convert", target, "-strip", "-define", "png:exclude-chunks=date,time",
                    target], check=True)
    print(f"{target}: {subprocess.run(['identify', '-format', '%wx%h', target], capture_output=True, text=True).stdout}")


def main():
    work = tempfile.mkdtemp(prefix="zp-shots-")
    subprocess.run(["cmake", "--install", BUILD, "--prefix", os.path.join(work, "prefix")],
                   check=True, capture_output=True)
    app = os.path.join(work, "prefix", "bin")
    version = subprocess.run([os.path.join(app, "zandupelix-server"), "--version"],
                             capture_output=True, text=True, check=True).stdout.split()[1]
    env = dict(os.environ, HOME=work, XDG_DATA_HOME=os.path.join(work, "data"),
               XDG_RUNTIME_DIR=work, LANG="C.UTF-8")
    env.pop("WAYLAND_DISPLAY", None)
    display = ":77"
    started = []

    def start(args, log_name, **kw):
        log = os.path.join(work, log_name)
        process = subprocess.Popen(args, stdout=open(log, "w"), stderr=subprocess.STDOUT,
                                   cwd=work, env=kw.pop("env", env), **kw)
        started.append(process)
        return process, log

    try:
        start(["Xvfb", display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"], "xvfb.log")
        time.sleep(1)
        env["DISPLAY"] = display

        directory_port = free_port()
        _, directory_log = start([os.path.join(app, "zandupelix-directory"), "--port",
                                  str(directory_port)], "directory.log")
        wait_for_line(directory_log, "listening on port")

        # The game: Ann hosts a headless table and starts a game as soon as Bea sits down.
        table_port = free_port()
        _, table_log = start([os.path.join(app, "zandupelix-server"), "--port", str(table_port),
                              "--seed", "11", "--name", "Thursday club", "--register",
                              f"127.0.0.1:{directory_port}"], "table.log")
        wait_for_line(table_log, "listening on port")
        host = socket.create_connection(("127.0.0.1", table_port))
        host.sendall(f"CMD_logininfo+1+{version}+Ann".encode() + b"\xff")
        start([os.path.join(app, "zandupelix"), "Bea", f"127.0.0.1:{table_port}", "false"],
              "game.log", env=dict(env, ZANDUPELIX_PORT=str(table_port),
                                   ZANDUPELIX_LOBBY_PORT=str(free_port())))
        wait_for_line(table_log, "Bea arrived")
        host.sendall(b"CMD_chat+1+Welcome, Bea! First to 300.|clNavy\xff")
        host.sendall(b"CMD_startgame+Ann+300+60+f+2+\xff")
        game = window_of("^Zandu Pelix$", env)
        time.sleep(6)
        shoot(game, os.path.join(HERE, "game.png"), env)

        # The lobby: the directory lists that table, where the game goes on, and others.
        for name in ["Lunch break", "Beginners welcome", "Night owls"]:
            start([os.path.join(app, "zandupelix-server"), "--port", "0", "--name",
                   name, "--register", f"127.0.0.1:{directory_port}"], f"{name}.log")
        # Bea's game goes on out of sight, so the lobby stands alone on the screen.
        subprocess.run(["xdotool", "windowunmap", game], env=env, check=True)
        with open(os.path.join(env["XDG_DATA_HOME"], "zandupelix", "qelmlobby.ini"), "a",
                  newline="") as f:
            f.write("[ZanduPelixLobby]\r\nName=Bea\r\n")
        start([os.path.join(app, "zandupelix-lobby"), "--directory",
               f"127.0.0.1:{directory_port}"], "lobby.log",
              env=dict(env, ZANDUPELIX_PORT=str(free_port()),
                       ZANDUPELIX_LOBBY_PORT=str(free_port())))
        window = window_of("^Zandu Pelix Lobby$", env)
        time.sleep(7)
        shoot(window, os.path.join(HERE, "lobby.png"), env)
        host.close()
    finally:
        for process in reversed(started):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
        print(f"logs in {work}")


if __name__ == "__main__":
    main()
