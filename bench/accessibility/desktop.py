"""A small desktop for a screen reader, for orca_game.py: Xvfb, openbox, the accessibility bus,
speech-dispatcher with a voice that writes down what it says, and Orca with its debug log.

Run inside a D-Bus session of its own (orca_game.sh starts one with dbus-run-session). Every
process it starts is ended by stop(), in the reverse order.
"""
import os
import re
import subprocess
import time
from datetime import datetime

HERE = os.path.dirname(os.path.abspath(__file__))


class Desktop:
    def __init__(self, work, rate=175):
        self.work = work
        self.rate = rate  # the voice's words a minute
        self.procs = []  # (name, Popen), in start order
        self.home = os.path.join(work, "home")
        self.run = os.path.join(work, "run")
        for folder in (self.home, self.run):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        self.orca_log = os.path.join(work, "orca-debug.log")
        self.game_spoken = os.path.join(work, "speech-game.log")
        self.orca_spoken = os.path.join(work, "speech-orca.log")
        self.speechd_socket = os.path.join(self.run, "speechd.sock")
        self.env = dict(os.environ, HOME=self.home, XDG_RUNTIME_DIR=self.run,
                        XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                        SPEECHD_ADDRESS="unix_socket:" + self.speechd_socket,
                        NO_AT_BRIDGE="0", GTK_MODULES="gail:atk-bridge")
        if "DBUS_SESSION_BUS_ADDRESS" not in self.env:
            raise SystemExit("run inside dbus-run-session (orca_game.sh does)")

    def start(self, name, argv, log=None, env=None, **kw):
        out = open(os.path.join(self.work, log or (name + ".out")), "w")
        proc = subprocess.Popen(argv, env=env or self.env, stdout=out, stderr=subprocess.STDOUT,
                                **kw)
        self.procs.append((name, proc))
        return proc

    def x_server(self):
        read, write = os.pipe()
        self.start("xvfb", ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                            "-nolisten", "tcp"], pass_fds=(write,))
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise SystemExit("Xvfb did not start")
            number += chunk
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.start("openbox", ["openbox", "--sm-disable"])
        time.sleep(0.5)

    def accessibility_bus(self):
        self.start("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        for _ in range(50):
            # Asked without starting the bus through D-Bus activation.
            r = subprocess.run(["dbus-send", "--session", "--print-reply",
                                "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
                               env=self.env, capture_output=True, text=True)
            if "true" in r.stdout:
                return
            time.sleep(0.1)
        raise SystemExit("the accessibility bus did not start")

    def a11y_status(self, prop):
        """org.a11y.Status's property on the session bus: True, False, or None (no bus)."""
        r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                            "/org/a11y/bus", "org.freedesktop.DBus.Properties.Get",
                            "string:org.a11y.Status", "string:" + prop],
                           env=self.env, capture_output=True, text=True)
        if r.returncode != 0:
            return None
        return "true" in r.stdout

    def speech_service(self):
        """speech-dispatcher with one generic module per client: Orca's texts and everything
        else's (the game's) are written to two logs by speak_to_log.sh."""
        conf = os.path.join(self.work, "speechd")
        os.makedirs(os.path.join(conf, "modules"), exist_ok=True)
        os.makedirs(os.path.join(self.work, "speechd-log"), exist_ok=True)
        for module, log in (("zplog-game", self.game_spoken), ("zplog-orca", self.orca_spoken)):
            with open(os.path.join(conf, "modules", module + ".conf"), "w") as f:
                f.write('Debug 0\n'
                        f'GenericExecuteSynth "{HERE}/speak_to_log.sh {log} {self.rate} \\\'$DATA\\\'"\n'
                        'GenericMaxChunkLength 2000\n'
                        'GenericDelimiters "\x01"\n'
                        'GenericLanguage "en" "en" "utf-8"\n'
                        'AddVoice "en" "MALE1" "en"\n'
                        'DefaultVoice "en"\n')
        with open(os.path.join(conf, "speechd.conf"), "w") as f:
            f.write('LogLevel 4\n'
                    f'LogDir "{self.work}/speechd-log"\n'
                    'DefaultVolume 100\n'
                    # The generic module plays nothing, but the service wants an audio output.
                    'AudioOutputMethod "alsa"\n'
                    'AudioALSADevice "null"\n'
                    'DefaultLanguage "en"\n'
                    'AddModule "zplog-game" "sd_generic" "zplog-game.conf"\n'
                    'AddModule "zplog-orca" "sd_generic" "zplog-orca.conf"\n'
                    'DefaultModule zplog-game\n'
                    'BeginClient "*:orca:*"\n'
                    'DefaultModule zplog-orca\n'
                    'EndClient\n')
        self.start("speech-dispatcher",
                   ["speech-dispatcher", "-s", "-t", "0", "-C", conf, "-c", "unix_socket",
                    "-S", self.speechd_socket])
        for _ in range(50):
            if os.path.exists(self.speechd_socket):
                return
            time.sleep(0.1)
        raise SystemExit("speech-dispatcher did not start")

    def orca(self):
        # Orca runs from the system Python; its preferences start fresh in our HOME.
        self.start("orca", ["/usr/bin/python3", "/usr/bin/orca", "--debug-file", self.orca_log])
        for _ in range(100):
            if any("SPEECH OUTPUT" in line for line in self.read(self.orca_log)):
                return
            time.sleep(0.2)
        raise SystemExit("Orca said nothing in 20 s; see " + self.orca_log)

    @staticmethod
    def read(path):
        try:
            with open(path, errors="replace") as f:
                return f.readlines()
        except FileNotFoundError:
            return []

    def orca_said(self):
        """[(unix time, text)] of every utterance in Orca's debug log."""
        out = []
        today = datetime.now().date()
        pattern = re.compile(r"^(\d\d:\d\d:\d\d\.\d+) - SPEECH OUTPUT: '(.*)$")
        for line in self.read(self.orca_log):
            m = pattern.match(line)
            if not m:
                continue
            text = m.group(2)
            # The voice's settings, or its name when not the default, follow the closing quote.
            if "'{" in text:
                text = text[:text.index("'{")]
            text = re.sub(r"'( voice=\w+)?$", "", text)
            at = datetime.combine(today, datetime.strptime(m.group(1), "%H:%M:%S.%f").time())
            out.append((at.timestamp(), text))
        return out

    def service_said(self, path):
        """[(unix time, text, finished)] of every text the speech service began to say."""
        started = []
        ended = set()
        for line in self.read(path):
            kind, _, rest = line.rstrip("\n").partition(" ")
            at, _, text = rest.partition(" ")
            if kind == "START":
                started.append((float(at), text))
            elif kind == "END":
                ended.add(text)
        return [(at, text, text in ended) for at, text in started]

    def screenshot(self, name):
        path = os.path.join(self.work, name + ".png")
        subprocess.run(["import", "-window", "root", path], env=self.env,
                       capture_output=True)
        return path

    def stop(self):
        for name, proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self.procs.clear()
