#!/usr/bin/env python3
"""A long evening of play: a scripted table drives a joined window through 100 games, 2,000
made words and 10,000 chat lines, and this reports the window's resident memory after the
first game, every tenth and the last, each once the window has settled. What the window
keeps for a whole evening is bounded (the chat keeps its last 2,000 lines, which fill by the
twentieth game), so memory should level off (the goal: under 2 MB over the first game).

The table sends what a real one sends, in its order: the start, then per round a board, the
window's turn running out, a board, the host's picks and word and its fall; five chat lines
a round; the winner. It waits for the window to settle after each game, as players do
between games, and fails when the window logs a message it could not read.

Usage (needs a display; on a machine without one):
    xvfb-run -a bench/client/measure_evening.py build/release/app/zandupelix [GAMES]
"""
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from process_stats import rss_kb, cpu_seconds, read_until  # noqa: E402

END = b"\xff"
WORDS_PER_GAME = 20
CHATS_PER_ROUND = 5


def settle(pid, quiet=0.5, limit=120.0):
    """Waits until the process has used under 2% of a core for `quiet` seconds."""
    started = time.monotonic()
    while time.monotonic() - started < limit:
        before = cpu_seconds(pid)
        time.sleep(quiet)
        if cpu_seconds(pid) - before < 0.02 * quiet:
            return
    raise RuntimeError("the window never settled")


def message(*fields, trailing=False):
    text = "+".join(str(f) for f in fields) + ("+" if trailing else "")
    return text.encode() + END


def board(rng):
    return [[rng.randint(1, 26) for _ in range(7)] for _ in range(7)]


def the_board(codes):
    cells = [f"{a}+{b}+{codes[a][b]}" for a in range(7) for b in range(7)]
    return ("CMD_theboard+" + "+".join(cells)).encode() + END


def game(rng, number, lines):
    """Every message of one game, in the table's order."""
    out = [message("CMD_startgame", "Host", 500, 60, "f", 1, trailing=True)]
    total = 0
    for word_number in range(WORDS_PER_GAME):
        codes = board(rng)
        out += [the_board(codes), message("CMD_nextplayer", 2, 1, trailing=True),
                message("CMD_timeup", trailing=True), the_board(codes),
                message("CMD_nextplayer", 1, 1, trailing=True)]
        # The host traces a row of 3 to 7 touching tiles.
        length = rng.randint(3, 7)
        a = rng.randint(0, 6)
        start = rng.randint(0, 7 - length)
        path = [(a, start + k) for k in range(length)]
        for index, (pa, pb) in enumerate(path, 1):
            out.append(message("CMD_selectletter", 1, index, pa, pb, trailing=True))
        word = "".join(chr(ord("A") + codes[pa][pb] - 1) for pa, pb in path)
        points = 10 * length
        total += points
        cells = [str(x) for cell in path for x in cell]
        out.append(message("CMD_madeword", 1, word, points, total, 0, 0, *cells))
        out.append(message("CMD_moving", rng.randint(1, 4), trailing=True))
        for _ in range(CHATS_PER_ROUND):
            lines[0] += 1
            out.append(message("CMD_chat", 1, f"Host chats: game {number} line {lines[0]}: "
                               + "words " * rng.randint(1, 12) + "|clBlack"))
    out.append(message("CMD_winner", "Host", trailing=True))
    return b"".join(out)


def drain(sock):
    """What the window sends is read and let go, so it never waits on the table."""
    try:
        while sock.recv(65536):
            pass
    except OSError:
        pass


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    game_path = os.path.abspath(sys.argv[1])
    games = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    work = tempfile.mkdtemp(prefix="zp-evening-")
    listener = socket.create_server(("127.0.0.1", 0))
    port = listener.getsockname()[1]
    env = dict(os.environ, ZANDUPELIX_PORT=str(port), XDG_RUNTIME_DIR=work, HOME=work,
               QT_LOGGING_RULES="*.debug=false")
    log = open(os.path.join(work, "stderr"), "w+")
    window = subprocess.Popen([game_path, "Ann", "127.0.0.1", "false"], cwd=work, env=env,
                              stdout=subprocess.DEVNULL, stderr=log)
    try:
        listener.settimeout(20)
        sock, _ = listener.accept()
        sock.settimeout(30)
        sock.sendall(b"CMD_sendlogininfo+2+" + END)
        read_until(sock, b"CMD_logininfo+2+")
        sock.sendall(message("CMD_newplayerinfo", 2, "Ann") +
                     message("CMD_existingplayers", 1, "Host"))
        threading.Thread(target=drain, args=(sock,), daemon=True).start()
        rng = random.Random(7)
        lines = [0]
        started = time.monotonic()
        along = []
        for number in range(1, games + 1):
            sock.sendall(game(rng, number, lines))
            settle(window.pid)
            if number == 1 or number % 10 == 0:
                along.append(f"{number}: {rss_kb(window.pid) / 1024:.1f}")
            if number == 1:
                first = rss_kb(window.pid)
        last = rss_kb(window.pid)
        log.seek(0)
        unread = [line for line in log if "does not read" in line]
        print(f"{games} games, {games * WORDS_PER_GAME} made words, {lines[0]} chat lines "
              f"in {time.monotonic() - started:.0f} s")
        print(f"resident after the first game: {first / 1024:.1f} MB, after the last: "
              f"{last / 1024:.1f} MB ({(last - first) / 1024:+.2f} MB)")
        print("resident after game N (MB): " + ", ".join(along))
        print(f"still connected: {window.poll() is None}; messages it could not read: "
              f"{len(unread)}")
        if os.environ.get("ZP_SHOT"):  # a picture of the screen after the evening
            subprocess.run(["import", "-window", "root", os.environ["ZP_SHOT"]], check=False)
        if unread:
            print(unread[0].rstrip())
            sys.exit(1)
        sock.close()
    finally:
        window.terminate()
        try:
            window.wait(10)
        except subprocess.TimeoutExpired:
            window.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
