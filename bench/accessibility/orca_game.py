#!/usr/bin/python3
"""A blind player's game, heard through Orca and the speech service.

Ann plays by keyboard alone at a table without windows (zandupelix-server; she sits down
first and hosts it), against Bob, a scripted player who speaks the game's protocol over TCP,
and Tobo, the computer player, who takes the empty seat 2 (Cy sits there before the game and
leaves). Everything runs on a desktop of its own (desktop.py): Xvfb, openbox, the
accessibility bus, speech-dispatcher whose voice writes down each text (speak_to_log.sh, one
log for Orca's texts and one for the game's) and Orca with its debug log. The script drives
Ann's window with xdotool keys only, notes when each event happened (when Bob's connection
got the table's message, or when Ann's key went), and matches every event to what Orca spoke
(its debug log's "SPEECH OUTPUT" lines) and what the speech service spoke for the game. The
report (report.md in the work folder, also printed) has one line per event: heard or not, by
which route, how late, and whether two voices said it; then the controls Orca named by a bare
role, if any.

Before the game it also opens the launcher (the game started without arguments) and checks
that Orca speaks it without Alt+Tab, as it checks the start dialog during the game.

Usage (as root, or with the packages installed: orca openbox speech-dispatcher xvfb xdotool
imagemagick espeak-ng dbus-x11 at-spi2-core python3-pyatspi):
    bench/accessibility/orca_game.sh [BUILD_DIR] [WORK_DIR]
BUILD_DIR defaults to build/release; WORK_DIR (logs, screenshots, report) to a new folder in
/tmp. ZP_SPEECH_RATE sets the voice's words a minute (175, espeak-ng's own, by default).
Exit status 0 when every event was heard once within a second, else 1; timeline.txt in the
work folder has every key, event and utterance in time order, to see why one came late.
"""
import os
import random
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from desktop import Desktop  # noqa: E402

END = b"\xff"
VERSION = "1.0.15"
TURN_SECONDS = 35  # the shortest turn that lets the clock say 30 seconds after it starts
PLAY_TO = 100  # the lowest score the start dialog offers
LATE = 1.0  # an event heard later than this after it happened is late
# A word's maker's new total is said after the word and the fall that follows it: heard, but
# not held to the second.
UNTIMED = ("total",)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# ---- the word list and the board

def load_words():
    """The game's own word list (records of 0x1E and a word padded to 14), 3 to 7 letters."""
    with open(os.path.join(ROOT, "resources", "words", "English.dat"), "rb") as f:
        data = f.read()
    words = set()
    for i in range(0, len(data) - 14, 15):
        w = data[i + 1:i + 15].decode("latin-1").strip()
        if 3 <= len(w) <= 7 and w.isalpha():
            words.add(w.upper())
    prefixes = {w[:k] for w in words for k in range(1, len(w) + 1)}
    return words, prefixes


WORTH = {c: v for v, letters in ((1, "AEILNORSTU"), (2, "DG"), (3, "BCMP"), (4, "FHVWY"),
                                 (5, "K"), (8, "JX"), (10, "QZ")) for c in letters}


def letters_of(board):
    return {cell: (chr(ord("A") + code - 1) if 1 <= code <= 26 else None)
            for cell, code in board.items()}


def find_words(board, words, prefixes):
    """Every (word, path) on the board; path as [(a, b)], a the column, b the row."""
    letters = letters_of(board)
    found = {}

    def walk(path, text):
        if text in words and text not in found:
            found[text] = list(path)
        if len(path) == 7:
            return
        a, b = path[-1]
        for da in (-1, 0, 1):
            for db in (-1, 0, 1):
                nxt = (a + da, b + db)
                if nxt in path or letters.get(nxt) is None:
                    continue
                t = text + letters[nxt]
                if t in prefixes:
                    path.append(nxt)
                    walk(path, t)
                    path.pop()

    for cell, letter in letters.items():
        if letter and letter in prefixes:
            walk([cell], letter)
    return found


def non_word(board, words, prefixes):
    """Three touching tiles in a row that spell no word and start none."""
    letters = letters_of(board)
    for (a, b), l1 in sorted(letters.items()):
        for da, db in ((1, 0), (0, 1), (1, 1)):
            cells = [(a, b), (a + da, b + db), (a + 2 * da, b + 2 * db)]
            text = "".join(letters.get(c) or "?" for c in cells)
            if "?" not in text and text not in prefixes and len(set(text)) == 3:
                return text, cells
    return None


# ---- the record of what happened

class Record:
    def __init__(self, path):
        self.events = []  # (time, key, expected texts, note)
        self.log = open(path, "w")
        self.lock = threading.Lock()

    def note(self, text):
        with self.lock:
            self.log.write(f"{time.time():.3f} {text}\n")
            self.log.flush()
        print(f"  {text}", flush=True)

    def event(self, key, expected, note="", at=None):
        """An event Ann must hear: one of the `expected` texts (a part of what is said)."""
        at = time.time() if at is None else at
        if isinstance(expected, str):
            expected = [expected]
        with self.lock:
            self.events.append((at, key, expected, note))
        self.note(f"EVENT {key}: {expected[0]!r} {note}")


# ---- Bob and Cy: players that speak the protocol

class Peer:
    def __init__(self, name, port, record, words=None, prefixes=None):
        self.name = name
        self.record = record
        self.words, self.prefixes = words, prefixes
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.sock.settimeout(None)
        self.buffer = b""
        self.n = 0
        self.names = {}
        self.board = {}
        self.scores = {}
        self.handlers = []  # called with (fields, time) for every message
        self.turn_wait = {}  # Bob's turn number -> seconds he waits before his word
        self.turns = 0
        self.alive = True
        self.thread = threading.Thread(target=self.read, daemon=True)

    def send(self, *fields, trailing=False, extra=b""):
        text = "+".join(str(f) for f in fields) + ("+" if trailing else "")
        self.sock.sendall(text.encode() + END + extra)

    def login(self):
        msg = self.next_message()
        assert msg[0] == "CMD_sendlogininfo", msg
        self.n = int(msg[1])
        self.send("CMD_logininfo", self.n, VERSION, self.name, extra=END)
        self.thread.start()

    def next_message(self):
        while END not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError
            self.buffer += chunk
        msg, self.buffer = self.buffer.split(END, 1)
        return msg.decode("utf-8", "replace").split("+")

    def read(self):
        try:
            while self.alive:
                fields = self.next_message()
                at = time.time()
                self.take(fields, at)
                for handler in list(self.handlers):
                    try:
                        handler(fields, at)
                    except Exception as e:  # noqa: BLE001 - a script fault must not end Bob
                        self.record.note(f"handler failed on {fields[:3]}: {e!r}")
        except (EOFError, OSError):
            pass

    def take(self, f, at):
        cmd = f[0]
        if cmd in ("CMD_newplayerinfo", "CMD_existingplayers"):
            self.names[int(f[1])] = f[2]
        elif cmd == "CMD_theboard":
            cells = f[1:]
            self.board = {(int(cells[i]), int(cells[i + 1])): int(cells[i + 2])
                          for i in range(0, len(cells) - 2, 3)}
        elif cmd == "CMD_nextplayer" and int(f[1]) == self.n and self.words:
            self.turns += 1
            wait = self.turn_wait.get(self.turns, 2.0)
            threading.Thread(target=self.play, args=(wait,), daemon=True).start()
        elif cmd == "CMD_madeword" and int(f[1]) == self.n:
            self.send("CMD_direction", self.n, 4, trailing=True)

    def play(self, wait):
        time.sleep(wait)
        found = find_words(self.board, self.words, self.prefixes)
        if not found:
            return
        # Small words while Ann has turns to take, then the longest, so the game ends.
        if self.turns < 3:
            word = min(found, key=lambda w: (len(w), sum(WORTH[c] for c in w), w))
        else:
            word = max(found, key=lambda w: (len(w), sum(WORTH[c] for c in w), w))
        path = found[word]
        fields = ["CMD_playerdone", self.n]
        for i, (a, b) in enumerate(path, 1):
            fields += [i, a, b]
        self.record.note(f"Bob sends {word}")
        self.send(*fields)

    def chat(self, text):
        self.send("CMD_chat", self.n, text + "|clBlack")

    def leave(self):
        self.send("CMD_goodbye", self.n, trailing=True)
        time.sleep(0.2)
        self.alive = False
        self.sock.close()


# ---- Ann's keyboard

class Keyboard:
    def __init__(self, env, record):
        self.env = env
        self.record = record

    def key(self, *keys, note=True):
        if note:
            self.record.note("KEY " + " ".join(keys))
        subprocess.run(["xdotool", "key", "--delay", "80", *keys], env=self.env, check=True)

    def type(self, text):
        self.record.note("TYPE " + text)
        subprocess.run(["xdotool", "type", "--delay", "120", text], env=self.env, check=True)


def wait_for(predicate, timeout, step=0.05):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return True
        time.sleep(step)
    return False


# ---- the game

class Game:
    def __init__(self, desk, build, record):
        self.desk = desk
        self.build = build
        self.record = record
        self.port = free_port()
        self.env = dict(desk.env, ZANDUPELIX_PORT=str(self.port),
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.keys = Keyboard(desk.env, record)
        self.words, self.prefixes = load_words()
        self.ann_turns = 0
        self.turn_started = {}
        self.winner_at = None

    def launcher(self):
        """The game started without arguments shows the launcher over a solo table."""
        env = dict(self.env, ZANDUPELIX_PORT=str(free_port()))
        home = os.path.join(self.desk.work, "solo")
        os.makedirs(home, exist_ok=True)
        started = time.time()
        self.record.event("launcher", ["Download The Qelm88 Lobby dialog"],
                          "the game started alone", at=started)
        self.record.event("launcher-focus", ["Play Solo Game push button"],
                          "its first button has the focus", at=started)
        proc = self.desk.start("solo", [os.path.join(self.build, "app", "zandupelix")],
                               env=env, cwd=home)
        time.sleep(6)
        self.desk.screenshot("01-launcher")
        # Play Solo Game: the launcher goes, the solo window stays; then the program ends.
        self.keys.key("space")
        time.sleep(2)
        self.desk.screenshot("02-solo-window")
        proc.terminate()
        proc.wait(10)
        time.sleep(2)

    def run(self):
        rec = self.record
        server_dir = os.path.join(self.desk.work, "server")
        os.makedirs(server_dir, exist_ok=True)
        server = self.desk.start(
            "server", [os.path.join(self.build, "app", "zandupelix-server"), "--port",
                       str(self.port), "--no-discovery", "--visibility", "local",
                       "--seed", "7"], cwd=server_dir)
        if not wait_for(lambda: self.port_open(), 10):
            raise SystemExit("the table did not start")
        ann_home = os.path.join(self.desk.work, "ann")
        os.makedirs(ann_home, exist_ok=True)
        rec.note("Ann's window starts")
        ann = self.desk.start("ann", [os.path.join(self.build, "app", "zandupelix"), "Ann",
                                      f"127.0.0.1:{self.port}", "false"],
                              env=self.env, cwd=ann_home)
        if not wait_for(lambda: "Ann arrived" in self.server_out(), 20):
            raise SystemExit("Ann never sat down")
        time.sleep(4)
        self.desk.screenshot("03-ann-seated")

        cy = Peer("Cy", self.port, rec)
        cy.login()
        rec.event("arrival", ["Cy is Connected"], "Cy sits down")
        time.sleep(4)
        bob = Peer("Bob", self.port, rec, self.words, self.prefixes)
        self.bob = bob
        bob.handlers.append(self.on_table)
        bob.turn_wait = {1: 27.0}  # the clock's 30 and 10 seconds in another's turn
        bob.login()
        rec.event("arrival", ["Bob is Connected"], "Bob sits down")
        time.sleep(4)
        cy.leave()
        rec.event("departure", ["Cy has left", "Cy disconnected"], "Cy leaves")
        time.sleep(4)
        bob.chat("Hello Ann, good luck")
        time.sleep(4)

        # The start dialog, by keyboard: File, Start Game.
        self.keys.key("alt+f")
        time.sleep(1.5)
        self.keys.key("Return")
        rec.event("start-dialog", ["Zandu Pelix - Game Start"], "the start dialog opens")
        rec.event("start-dialog-focus", ["Play to Score up"], "its first stepper has the focus")
        time.sleep(4)
        self.desk.screenshot("04-start-dialog")
        self.keys.key("Tab")  # Play to Score down
        time.sleep(1.5)
        self.keys.key("space")  # 110 -> 100
        time.sleep(1.5)
        self.keys.key("Tab")  # Creation Time up
        time.sleep(1.5)
        self.keys.key("Tab")  # Creation Time down
        time.sleep(1.5)
        # Down to the least (30 s), then one step up: 35 s, so the clock is heard at 30.
        for _ in range(19):
            self.keys.key("space", note=False)
            time.sleep(0.25)
        self.keys.key("shift+Tab")  # Creation Time up
        time.sleep(1.5)
        self.keys.key("space")
        time.sleep(1.5)
        self.keys.key("Tab")
        time.sleep(1.5)
        # Through every other control to START GAME, so each is heard by name.
        for _ in range(6):
            self.keys.key("Tab")
            time.sleep(1.5)
        self.desk.screenshot("05-start-dialog-filled")
        self.keys.key("space")
        if not wait_for(lambda: self.winner_at is not None, 600):
            rec.note("no winner in 10 minutes")
        time.sleep(4)
        self.desk.screenshot("09-winner")
        bob.chat("Well played")
        time.sleep(4)
        bob.alive = False
        bob.leave()
        rec.event("departure", ["Bob has left", "Bob disconnected"], "Bob leaves")
        time.sleep(4)
        # Ann chats; with seats 3 and 4 empty Tobo answers (the window makes his chatter).
        self.keys.key("F6")
        time.sleep(1.5)
        # Tobo answers most lines, at random: a few lines until he does.
        for line in ("thanks Tobo", "good game", "see you", "bye now"):
            self.keys.type(line)
            self.keys.key("Return")
            sent = time.time()  # Tobo can answer only once the line is sent
            time.sleep(5)
            if self.check_chatter(sent):
                break
        self.desk.screenshot("10-after")
        ann.terminate()
        ann.wait(10)
        server.terminate()
        server.wait(10)

    def check_chatter(self, sent):
        # Tobo's line is the window's own, so it is found in what the window spoke.
        said = [t for at, t, _ in self.desk.service_said(self.desk.game_spoken)
                if at >= sent and t.startswith("Tobo")]
        if said:
            self.record.event("tobo-chatter", [said[0]], "Tobo answers Ann's chat", at=sent)
        else:
            self.record.note("Tobo kept quiet")
        return bool(said)

    def game_quiet(self, holding=""):
        """When the speech service finished the game's texts (those holding `holding`)."""
        return [float(line.split(" ", 2)[1]) for line in Desktop.read(self.desk.game_spoken)
                if line.startswith("END ") and holding in line]

    def port_open(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
            return True
        except OSError:
            return False

    def server_out(self):
        return "".join(Desktop.read(os.path.join(self.desk.work, "server.out")))

    # What the table says, as Bob hears it at the same moment as Ann.
    def on_table(self, f, at):
        rec = self.record
        bob = self.bob
        cmd = f[0]
        name = lambda n: "Tobo" if n == 2 else bob.names.get(n, f"player {n}")  # noqa: E731
        if cmd == "CMD_nextplayer":
            n = int(f[1])
            self.turn_started[n] = at
            if n == 1:
                self.ann_turns += 1
                rec.event("your-turn", ["Your turn"], f"Ann's turn {self.ann_turns}", at=at)
                threading.Thread(target=self.ann_turn, args=(self.ann_turns, at),
                                 daemon=True).start()
            else:
                rec.event("other-turn", [f"{name(n)}'s turn"], "", at=at)
                if n == 3 and bob.turns == 1:
                    self.clock_events(n, at)
        elif cmd == "CMD_madeword":
            n, word, points, total = int(f[1]), f[2], int(f[3]), int(f[4])
            unit = "point" if points == 1 else "points"
            if n == 1:
                rec.event("word-accepted", [f"{word}, {points} {unit}"], "", at=at)
                rec.event("total", [f"Your score {total}"], "", at=at)
            else:
                rec.event("other-word", [f"{name(n)}: {word}, {points} {unit}"], "", at=at)
                rec.event("total", [f"{name(n)} has {total}"], "", at=at)
        elif cmd == "CMD_moving":
            way = {1: "down", 2: "left", 3: "up", 4: "right"}[int(f[1])]
            rec.event("fall", [f"Tiles fall {way}"], "", at=at)
        elif cmd == "CMD_timeup":
            rec.event("time-up", ["Time is Up!"], "", at=at)
        elif cmd == "CMD_winner":
            self.winner_at = at
            who = f[1]
            rec.event("winner", ["You win!" if who == "Ann" else f"{who} wins!"], "", at=at)
            # The game's end makes the winning word's total moot: it is not said.
            with rec.lock:
                rec.events = [e for e in rec.events if not (e[1] == "total" and at - e[0] < 0.5)]
        elif cmd == "CMD_chat" and int(f[1]) not in (1,):
            text = "+".join(f[2:]).rsplit("|", 1)[0]
            rec.event("chat", [text], "", at=at)

    def clock_events(self, n, at):
        who = "" if n == 1 else self.bob.names.get(n, "")
        for left in (30, 10):
            text = f"{left} seconds left" if n == 1 else f"{who} has {left} seconds left"
            # The window's clock ticks each second from the turn's start.
            rec_at = at + TURN_SECONDS - left
            self.record.event("clock", [text], "", at=rec_at)

    def ann_turn(self, number, at):
        rec = self.record
        keys = self.keys
        time.sleep(1.0)
        if number == 1:
            # Let the clock run out: 30 and 10 seconds, then the time is up.
            self.clock_events(1, at)
            self.desk.screenshot("06-ann-first-turn")
            return
        if number == 2:
            # The one-key questions, then a word the table refuses, then a good one.
            # Each asked once the last answer is heard out, as a player listens.
            for key, expected in (("F2", "Your turn"), ("F3", "Ann"), ("F4", ""),
                                  ("F5", "The rack"), ("F7", "Row 4:"), ("F8", "Column 4:")):
                pressed = time.time()
                keys.key(key)
                rec.event("question-" + key, [expected] if expected else ["*"], "")
                wait_for(lambda: any(a > pressed + 0.3 for a in self.game_quiet()), 15)
            bad = non_word(self.bob.board, self.words, self.prefixes)
            if bad:
                keys.type(bad[0].lower())
                time.sleep(0.5)
                keys.key("Return")
                rec.event("word-refused", [f"{bad[0]} is not a valid word"], "")
                time.sleep(3)
        found = find_words(self.bob.board, self.words, self.prefixes)
        if not found:
            rec.note("no word on the board for Ann")
            return
        # A word worth a lot; a short one traced by the focus mark on the third turn.
        if number == 3:
            self.pick_by_arrows(found)
        else:
            word = min(found, key=lambda w: (abs(len(w) - 4), w))
            keys.type(word.lower())
            time.sleep(0.8)
            keys.key("Return")
        # She listens to the table's answer, then chooses the fall: an arrow shows it, the
        # same arrow again chooses it.
        sent = time.time()
        wait_for(lambda: any(a > sent for a in self.game_quiet("Your score")), 2.5)
        self.desk.screenshot(f"07-ann-word-{number}")
        keys.key("Down")
        time.sleep(1.0)
        keys.key("Down")

    def pick_by_arrows(self, found):
        """Moves the focus mark with the arrow keys from the middle and picks with Space."""
        keys = self.keys
        word = min(found, key=lambda w: (len(w), w))
        path = found[word]
        at = (3, 3)
        for a, b in path:
            moves = []
            moves += ["Right"] * (a - at[0]) if a > at[0] else ["Left"] * (at[0] - a)
            moves += ["Down"] * (b - at[1]) if b > at[1] else ["Up"] * (at[1] - b)
            for m in moves:
                keys.key(m, note=False)
                time.sleep(0.3)
            keys.key("space")
            self.record.note(f"picked {(a, b)} for {word}")
            time.sleep(0.8)
            at = (a, b)
        keys.key("Return")


# ---- matching what was heard to what happened

def normal(text):
    return re.sub(r"[^a-z0-9]+", " ", text.lower()).strip()


def match(record, desk):
    orca = desk.orca_said()
    game = desk.service_said(desk.game_spoken)
    rows = []
    for at, key, expected, note in sorted(record.events):
        wants = [normal(e) for e in expected if e != "*"]
        def hits(heard):
            if not wants:  # any answer at all
                return [h for h in heard if at - 0.5 <= h[0] <= at + 3][:1]
            return [h for h in heard if at - 1.5 <= h[0] <= at + 30 and
                    any(normal(h[1]).startswith(w) for w in wants)]
        o, g = hits(orca), hits(game)
        first = min([h[0] for h in o[:1] + g[:1]], default=None)
        routes = (["Orca"] if o else []) + (["speech service"] if g else [])
        delay = None if first is None else first - at
        cut = bool(g) and not g[0][2]
        rows.append((at, key, expected[0], note, routes, delay, cut,
                     o[0][1] if o else "", g[0][1] if g else ""))
    return rows


BARE_ROLES = ("push button", "combo box", "check box", "toggle button", "spin button",
              "text", "label", "filler", "panel", "table", "list", "menu item", "cell",
              "entry", "page tab", "scroll bar", "slider", "list item", "dialog", "frame")


def bare_roles(desk):
    out = []
    for at, text in desk.orca_said():
        t = text.strip().rstrip(".").lower()
        if t in BARE_ROLES:
            out.append((at, text))
    return out


def timeline(record, desk, path):
    """Every event, key and utterance in time order, for finding why one came late."""
    rows = [(at, "EVENT", f"{key}: {expected[0]}") for at, key, expected, _ in record.events]
    for line in Desktop.read(record.log.name):
        at, _, text = line.rstrip("\n").partition(" ")
        if text.startswith(("KEY", "TYPE")):
            rows.append((float(at), "ann", text))
    rows += [(at, "orca-log", text) for at, text in desk.orca_said()]
    for who, log in (("orca", desk.orca_spoken), ("game", desk.game_spoken)):
        for line in Desktop.read(log):
            kind, _, rest = line.rstrip("\n").partition(" ")
            at, _, text = rest.partition(" ")
            rows.append((float(at), f"{who}-{kind.lower()}", text))
    rows.sort()
    t0 = rows[0][0] if rows else 0
    with open(path, "w") as f:
        for at, who, text in rows:
            f.write(f"{at - t0:8.2f} {who:10} {text}\n")


def report(record, desk, versions, path):
    rows = match(record, desk)
    t0 = rows[0][0] if rows else time.time()
    lines = ["# A blind player's game, heard", "", versions, "",
             "| t (s) | event | expected | route | delay (s) | note |",
             "|---|---|---|---|---|---|"]
    failures = 0
    for at, key, expected, note, routes, delay, cut, heard_o, heard_g in rows:
        if not routes:
            verdict = "NOT HEARD"
        elif len(routes) == 2 and key not in ("launcher", "start-dialog", "launcher-focus",
                                               "start-dialog-focus"):
            verdict = "TWICE"
        elif delay is not None and delay > LATE and key not in UNTIMED:
            verdict = "LATE"
        else:
            verdict = ""
        if cut:
            verdict = (verdict + " cut off").strip()
        if verdict:
            failures += 1
        shown = heard_o or heard_g
        lines.append(f"| {at - t0:7.1f} | {key} | {expected} | {' + '.join(routes) or '-'} | "
                     f"{'' if delay is None else f'{delay:.2f}'} | {verdict} {note} "
                     f"{'heard: ' + shown[:60] if shown and normal(expected) not in normal(shown) else ''} |")
    bare = bare_roles(desk)
    lines += ["", f"Controls Orca named by a bare role: {len(bare)}"]
    lines += [f"- {at - t0:.1f} s: {text!r}" for at, text in bare]
    failures += len(bare)
    lines += ["", f"{len(rows)} events, {failures} faults"]
    text = "\n".join(lines) + "\n"
    with open(path, "w") as f:
        f.write(text)
    print(text)
    return failures


def versions():
    def one(argv):
        try:
            return subprocess.run(argv, capture_output=True, text=True).stdout.strip()
        except OSError:
            return "?"
    orca = one(["/usr/bin/orca", "--version"])
    spd = one(["speech-dispatcher", "--version"]).splitlines()[:1]
    return f"Orca: {orca}; speech-dispatcher: {spd[0] if spd else '?'}"


def stop_on_signal(signum, frame):
    raise KeyboardInterrupt(f"signal {signum}")


def main():
    # SIGTERM ends the run as Ctrl+C does: every program it started is stopped.
    signal.signal(signal.SIGTERM, stop_on_signal)
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                            os.path.join(ROOT, "build", "release"))
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="zp-orca-game-")
    os.makedirs(work, exist_ok=True)
    print(f"work folder: {work}", flush=True)
    rate = int(os.environ.get("ZP_SPEECH_RATE", "175"))
    desk = Desktop(work, rate)
    record = Record(os.path.join(work, "script.log"))
    try:
        desk.x_server()
        desk.accessibility_bus()
        desk.speech_service()
        desk.orca()
        record.note(f"accessibility status: IsEnabled={desk.a11y_status('IsEnabled')} "
                    f"ScreenReaderEnabled={desk.a11y_status('ScreenReaderEnabled')}")
        game = Game(desk, build, record)
        if os.environ.get("ZP_SKIP_LAUNCHER") != "1":
            game.launcher()
        game.run()
        time.sleep(3)
    finally:
        desk.stop()
    timeline(record, desk, os.path.join(work, "timeline.txt"))
    failures = report(record, desk, versions() + f"; voice: espeak-ng at {rate} words a minute",
                      os.path.join(work, "report.md"))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    random.seed(1)
    main()
