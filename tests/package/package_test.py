#!/usr/bin/env python3
"""The Debian package, checked as Debian checks a package and then used as its users would.

    tests/package/package_test.py [build/release/zandupelix_VERSION_ARCH.deb]

First the package itself: its name, its files, lintian, the AppStream metadata, the desktop
entries, the manual pages and the services' exposure. Then, as root: apt-get installs it on
this machine; a new unprivileged user starts the installed game under Xvfb; the headless
table and the directory start as their services would, from the units and /etc/zandupelix;
apt-get purge removes it, after which nothing of it may be left under /usr or /etc.

The programs run in a network namespace of their own, so the ports the services ship
(7771, 7772) are free whatever runs on this machine, and the build folder is hidden from
them, so an installed program cannot fall back on what it was built from.

Installing needs root: without it the second part is skipped with a message, except under
CI (CI=true), where that is a failure. It refuses to run where the package is already
installed, which it would remove.
"""

import glob
import gzip
import json
import os
import pwd
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

REPO = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
PACKAGE = "zandupelix"
PROGRAMS = ["zandupelix", "zandupelix-directory", "zandupelix-lobby", "zandupelix-pack",
            "zandupelix-server"]
UNITS = ["zandupelix-directory.service", "zandupelix-server@.service"]
UNIT_DIR = "/lib/systemd/system"
CONFFILES = ["/etc/zandupelix/directory.conf", "/etc/zandupelix/server.conf"]
PLAYER = "zppkgplayer"
# A user id from systemd's range for dynamic users that no account holds.
SERVICE_UID = 64999
TABLE = "club"

# lintian's warnings that stay, each with its reason; any other warning fails.
ACCEPTED_WARNINGS = {
}

IN_CI = os.environ.get("CI") == "true"
IS_ROOT = os.geteuid() == 0


class Checks:
    """Counts the checks and says each failure as it happens."""

    def __init__(self):
        self.passed = self.failed = self.skipped = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print(f"ok      {what}", flush=True)
        else:
            self.failed += 1
            print(f"FAILED  {what}" + (f"\n{detail.rstrip()}" if detail else ""), flush=True)
        return ok

    def skip(self, what, why):
        self.skipped += 1
        print(f"skipped {what}: {why}", flush=True)

    def equal(self, got, want, what):
        return self.check(got == want, what, f"  got:  {got!r}\n  want: {want!r}")


def run(args, **kw):
    kw.setdefault("capture_output", True)
    kw.setdefault("text", True)
    return subprocess.run(args, **kw)


def output(args, **kw):
    result = run(args, **kw)
    if result.returncode != 0:
        raise RuntimeError(f"{shlex.join(args)}: exit {result.returncode}\n{result.stderr}")
    return result.stdout


def installed(package):
    result = run(["dpkg-query", "-W", "-f=${Status}", package])
    return result.returncode == 0 and "installed" in result.stdout.split()[-1:]


# ----------------------------------------------------------------------------------------
# The package file, before anything is installed.

def check_package_file(c, deb, tree):
    fields = {}
    for name in ["Package", "Version", "Architecture", "Depends", "Section", "Maintainer"]:
        fields[name] = output(["dpkg-deb", "-f", deb, name]).strip()
    arch = output(["dpkg", "--print-architecture"]).strip()
    c.equal(fields["Package"], PACKAGE, "the package is named zandupelix")
    c.equal(fields["Architecture"], arch, "it is built for this machine's architecture")
    c.equal(os.path.basename(deb), f"{PACKAGE}_{fields['Version']}_{arch}.deb",
            "its file is named zandupelix_VERSION_ARCH.deb")
    constants = open(os.path.join(REPO, "rules", "constants.h"), encoding="utf-8").read()
    version = re.search(r'kGameVersion = "([0-9.]+)"', constants)
    c.equal(fields["Version"], version and version.group(1),
            "its version is the game's version constant")
    changelog = os.path.join(tree, "changelog")
    with gzip.open(os.path.join(tree, "usr/share/doc/zandupelix/changelog.gz")) as packed, \
            open(changelog, "wb") as plain:
        plain.write(packed.read())
    c.equal(output(["dpkg-parsechangelog", "-l", changelog, "-S", "Version"]).strip(),
            fields["Version"], "the changelog's newest entry is this version's")
    # dpkg-shlibdeps found these from the programs' libraries; none was written by hand.
    depends = [d.strip().split(" ")[0] for d in fields["Depends"].split(",") if d.strip()]
    print(f"        Depends: {fields['Depends']}")
    for library in ["libc6", "libstdc++6", "libqt6core6", "libqt6network6", "libqt6widgets6",
                    "libqt6multimedia6"]:
        c.check(library in depends, f"it depends on {library}", fields["Depends"])
    print(f"        size: {os.path.getsize(deb)} bytes; installed size: "
          f"{output(['dpkg-deb', '-f', deb, 'Installed-Size']).strip()} KiB")

    files = sorted("/" + line.split(None, 5)[5].lstrip("./").split(" -> ")[0]
                   for line in output(["dpkg-deb", "-c", deb]).splitlines()
                   if not line.startswith("d"))
    modules = [f"/usr/lib/{PACKAGE}/{PACKAGE}-{name}.so" for name in ("download", "sound", "speech")]
    want = sorted(
        [f"/usr/bin/{p}" for p in PROGRAMS] + modules
        + [f"/usr/share/man/man6/{p}.6.gz" for p in PROGRAMS]
        + [f"/usr/share/applications/{p}.desktop" for p in ["zandupelix", "zandupelix-lobby"]]
        + [f"/usr/share/icons/hicolor/{s}x{s}/apps/zandupelix.png" for s in [16, 32, 48, 64, 128, 256]]
        + ["/usr/share/icons/hicolor/scalable/apps/zandupelix.svg",
           "/usr/share/metainfo/example.zandupelix.ZanduPelix.metainfo.xml",
           "/usr/share/zandupelix/zandutiles/wood.bmp",
           "/usr/share/doc/zandupelix/copyright", "/usr/share/doc/zandupelix/changelog.gz",
           "/usr/share/doc/zandupelix/SCOWL-COPYRIGHT", "/usr/share/lintian/overrides/zandupelix"]
        + [f"{UNIT_DIR}/{u}" for u in UNITS] + CONFFILES)
    c.equal(files, want, "it holds the programs, modules, data, pages, entries, icons, "
            "metadata, units and settings, and nothing else")
    conffiles = os.path.join(tree, "DEBIAN", "conffiles")
    c.equal(open(conffiles).read().split() if os.path.exists(conffiles) else [], CONFFILES,
            "the settings in /etc are conffiles, kept when the administrator changed them")

    lintian = run(["lintian", "--fail-on", "error", "--display-level", ">=info",
                   "--tag-display-limit", "0", deb])
    tags = [line for line in lintian.stdout.splitlines() if re.match(r"^[EWIXOP]: ", line)]
    # The word list inside the programs holds words lintian takes for misspellings.
    words = [line for line in tags if "spelling-error-in-binary" in line]
    for line in tags:
        if line not in words:
            print(f"        lintian {line}")
    print(f"        lintian: {len(words)} spelling-error-in-binary notes on the word list")
    overrides = os.path.join(tree, "usr/share/lintian/overrides", PACKAGE)
    for line in open(overrides, encoding="utf-8") if os.path.exists(overrides) else []:
        if line.strip() and not line.startswith("#"):
            print(f"        lintian override: {line.strip()}")
    errors = [line for line in tags if line.startswith("E: ")]
    c.check(not errors and lintian.returncode == 0, "lintian reports no error",
            "\n".join(errors) + lintian.stderr)
    warnings = {line.split()[2] for line in tags if line.startswith("W: ")}
    c.equal(sorted(warnings - ACCEPTED_WARNINGS.keys()), [],
            "lintian warns of nothing but the warnings known to stay")

    metainfo = os.path.join(tree, "usr/share/metainfo/example.zandupelix.ZanduPelix.metainfo.xml")
    result = run(["appstreamcli", "validate", "--no-net", "--explain", metainfo])
    c.check(result.returncode == 0, "appstreamcli validates the metadata",
            result.stdout + result.stderr)
    for entry in glob.glob(os.path.join(tree, "usr/share/applications/*.desktop")):
        result = run(["desktop-file-validate", entry])
        c.check(result.returncode == 0 and not result.stdout.strip(),
                f"desktop-file-validate accepts {os.path.basename(entry)}",
                result.stdout + result.stderr)
    for program in PROGRAMS:
        page = os.path.join(tree, f"usr/share/man/man6/{program}.6.gz")
        result = run(["man", "--warnings", "-E", "UTF-8", "-l", page],
                     env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MAN_KEEP_FORMATTING=""))
        c.check(result.returncode == 0 and not result.stderr and "SYNOPSIS" in result.stdout,
                f"man renders {program}(6) without a warning", result.stderr)


def man_text(page):
    result = run(["man", "-l", page], env=dict(os.environ, MANWIDTH="200", LC_ALL="C.UTF-8"))
    # What man prints for a terminal marks bold and underlined letters with backspaces.
    return re.sub(r".\x08", "", result.stdout)


def check_pages_name_every_option(c, bin_dir, man_dir):
    """Each option a program's --help names is in its manual page."""
    for program in PROGRAMS:
        text = man_text(os.path.join(man_dir, f"{program}.6.gz"))
        if program == "zandupelix":
            options = []
        else:
            result = run([os.path.join(bin_dir, program), "--help"], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            options = sorted(set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", result.stdout)))
            # Qt's parser lists --help-all, which these programs do not act on: the pages
            # leave it out until they do.
            options = [o for o in options if o != "--help-all"]
            c.check(result.returncode == 0 and options, f"{program} --help names its options",
                    result.stdout + result.stderr)
        missing = [o for o in options if o not in text]
        c.equal(missing, [], f"{program}(6) describes each option of --help")


def check_pages_name_the_environment(c, man_dir):
    """Each variable of the environment the programs' sources read is in a manual page."""
    sources = ""
    for root in ["app", "lobby", "words", "gui", "windows", "client"]:
        for path in glob.glob(os.path.join(REPO, root, "**", "*.cpp"), recursive=True):
            sources += open(path, encoding="utf-8").read()
    variables = sorted(set(re.findall(
        r'(?:getenv|qEnvironmentVariable\w*|[pP]ortFromEnvironment|absoluteFromEnvironment)'
        r'\("([A-Z][A-Z0-9_]*)"', sources)))
    c.check(len(variables) >= 5, "the sources' variables of the environment are found",
            str(variables))
    pages = "".join(man_text(page) for page in glob.glob(os.path.join(man_dir, "*.6.gz")))
    c.equal([v for v in variables if v not in pages], [],
            "the pages name each variable of the environment the programs read")


# ----------------------------------------------------------------------------------------
# Installed on this machine.

def snapshot_ours():
    found = []
    for top in ["/usr", "/etc", "/lib"]:
        for folder, dirs, names in os.walk(top):
            for name in dirs + names:
                if PACKAGE in name.lower():
                    found.append(os.path.join(folder, name))
    return sorted(set(os.path.realpath(os.path.dirname(f)) + "/" + os.path.basename(f)
                      for f in found))


def check_units(c):
    with tempfile.TemporaryDirectory() as folder:
        for unit in UNITS:
            # A template is verified through an instance of it.
            name = unit.replace("@.", f"@{TABLE}.")
            path = os.path.join(folder, name)
            os.symlink(os.path.join(UNIT_DIR, unit), path)
            result = run(["systemd-analyze", "verify", path])
            c.check(result.returncode == 0 and not result.stderr.strip(),
                    f"systemd-analyze verifies {unit}", result.stdout + result.stderr)
            result = run(["systemd-analyze", "security", "--offline=true", "--threshold=20",
                          "--no-pager", path])
            level = re.search(r"Overall exposure level for \S+: (\S+ \S+)", result.stdout)
            c.check(result.returncode == 0 and level,
                    f"systemd-analyze rates {unit}'s exposure at most 2.0 "
                    f"({level.group(1) if level else '?'})", result.stdout[-2000:] + result.stderr)


def unit_command(unit, instance=None, extra_files=()):
    """The command line and environment systemd would start `unit` with: its Environment=,
    then its EnvironmentFile= in order, then ExecStart= with the variables put in."""
    env, files, command, settings = {}, [], None, {}
    for line in open(os.path.join(UNIT_DIR, unit), encoding="utf-8"):
        line = line.strip()
        if not line or line.startswith(("#", ";", "[")):
            continue
        key, value = line.split("=", 1)
        if instance is not None:
            value = value.replace("%I", instance).replace("%i", instance)
        if key == "Environment":
            for word in shlex.split(value):
                k, v = word.split("=", 1)
                env[k] = v
        elif key == "EnvironmentFile":
            files.append(value)
        elif key == "ExecStart":
            command = value
        else:
            settings.setdefault(key, []).append(value)
    for file in files:
        optional = file.startswith("-")
        file = file.lstrip("-")
        if not os.path.exists(file):
            if optional:
                continue
            raise RuntimeError(f"{unit}: {file} is missing")
        for line in open(file, encoding="utf-8"):
            line = line.strip()
            if line and not line.startswith(("#", ";")):
                k, v = line.split("=", 1)
                env[k.strip()] = " ".join(shlex.split(v)) if v.strip() else ""
    args = []
    for word in command.split():
        whole = re.fullmatch(r"\$\{(\w+)\}", word)
        split = re.fullmatch(r"\$(\w+)", word)
        if whole:
            args.append(env.get(whole.group(1), ""))
        elif split:
            args.extend(env.get(split.group(1), "").split())
        elif "$" in word:
            raise RuntimeError(f"{unit}: this test does not know how systemd reads {word}")
        else:
            args.append(word)
    return args, env, settings


def install_and_use(c, deb):
    if installed(PACKAGE):
        c.check(False, "zandupelix is not installed here yet",
                "  the test would remove it at its end: remove it first "
                "(apt-get purge zandupelix)")
        return
    before = snapshot_ours()
    # apt's own user reads the file from a folder anyone may enter.
    folder = tempfile.mkdtemp(prefix="zp-package-")
    os.chmod(folder, 0o755)
    local = os.path.join(folder, os.path.basename(deb))
    shutil.copy(deb, local)
    os.chmod(local, 0o644)
    created_user = False
    table_settings = f"/etc/zandupelix/server-{TABLE}.conf"
    try:
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        start = time.monotonic()
        result = run(["apt-get", "install", "-y", "-q", local], env=env)
        took = time.monotonic() - start
        if not c.check(result.returncode == 0 and installed(PACKAGE),
                       f"apt-get install ./{os.path.basename(deb)} ({took:.1f} s)",
                       result.stdout[-3000:] + result.stderr):
            return
        print(f"        apt-get install took {took:.1f} s")
        listed = output(["dpkg", "-L", PACKAGE]).split()

        version = output(["dpkg-query", "-W", "-f=${Version}", PACKAGE])
        for program in ["zandupelix-server", "zandupelix-directory", "zandupelix-lobby",
                        "zandupelix-pack"]:
            c.equal(output([f"/usr/bin/{program}", "--version"],
                           env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).split(),
                    [program, version], f"the installed {program} reports the package's version")
        check_units(c)
        result = run(["man", "--warnings", "6", "zandupelix-server"],
                     env=dict(os.environ, MANWIDTH="80"))
        c.check(result.returncode == 0 and "--register" in result.stdout,
                "man 6 zandupelix-server finds the installed page", result.stderr)

        run(["userdel", "--remove", PLAYER])
        output(["useradd", "--create-home", "--shell", "/bin/sh", PLAYER])
        created_user = True
        # An administrator's table of its own, listed by the directory on this machine.
        with open(table_settings, "w", encoding="utf-8") as f:
            f.write("# A table of the test\nOPTIONS=--register 127.0.0.1 --seed 7\n")
        server = unit_command(UNITS[1], TABLE)
        directory = unit_command(UNITS[0])
        counts = os.path.join(folder, "counts")
        plan = {"server": server[0], "server_env": server[1], "server_unit": server[2],
                "directory": directory[0], "directory_env": directory[1], "counts": counts}
        inside = run(["unshare", "--net", "--mount", "--propagation", "private", "--",
                      sys.executable, os.path.abspath(__file__), "--inside", json.dumps(plan)],
                     capture_output=False, text=True)
        if os.path.exists(counts):
            passed, failed = open(counts).read().split()
            c.passed += int(passed)
            c.failed += int(failed)
        c.check(inside.returncode == 0 and os.path.exists(counts),
                "the installed programs ran as their users run them")
        os.remove(table_settings)

        start = time.monotonic()
        result = run(["apt-get", "purge", "-y", "-q", PACKAGE], env=env)
        c.check(result.returncode == 0 and not installed(PACKAGE),
                f"apt-get purge zandupelix ({time.monotonic() - start:.1f} s)",
                result.stdout[-3000:] + result.stderr)
        left = [p for p in listed if p.startswith(("/usr", "/etc", "/lib")) and os.path.lexists(p)
                and not os.path.isdir(p)]
        c.equal(left, [], "no file of the package is left")
        c.equal(snapshot_ours(), before, "nothing named zandupelix is left under /usr or /etc")
    finally:
        if os.path.exists(table_settings):
            os.remove(table_settings)
        if installed(PACKAGE):
            run(["apt-get", "purge", "-y", "-q", PACKAGE])
        if created_user:
            run(["userdel", "--remove", PLAYER])
        shutil.rmtree(folder, ignore_errors=True)


# ----------------------------------------------------------------------------------------
# Inside the network and mount namespace: the installed programs at work.

def probe(port, first, expect, timeout=15):
    """Connects to 127.0.0.1:`port`, sends `first` and reads messages until one starts with
    `expect`; returns the messages read, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
                s.settimeout(max(0.1, deadline - time.monotonic()))
                if first:
                    s.sendall(first)
                data = b""
                while True:
                    chunk = s.recv(4096)
                    if not chunk:
                        break
                    data += chunk
                    messages = data.split(b"\xff")
                    if any(m.startswith(expect) for m in messages):
                        return messages
        except (ConnectionRefusedError, socket.timeout, OSError):
            time.sleep(0.2)
    return None


class Session:
    """A connection that stays open: logs in, then waits for what the table says."""

    def __init__(self, port, timeout=15):
        deadline = time.monotonic() + timeout
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=2)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)
        self.data = b""

    def send(self, text):
        self.sock.sendall(text.encode() + b"\xff")

    def wait_for(self, *wanted, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if any(w.encode() in self.data.split(b"\xff") or
                   any(m.startswith(w.encode()) for m in self.data.split(b"\xff"))
                   for w in wanted):
                return True
            self.sock.settimeout(max(0.05, deadline - time.monotonic()))
            try:
                chunk = self.sock.recv(4096)
            except socket.timeout:
                continue
            if not chunk:
                return False
            self.data += chunk
        return False

    def close(self):
        self.sock.close()


def process_of(program, uid):
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            if (os.readlink(f"/proc/{pid}/exe") == f"/usr/bin/{program}"
                    and os.stat(f"/proc/{pid}").st_uid == uid):
                return int(pid)
        except OSError:
            pass
    return None


def files_of(uid, tops):
    found = []
    for top in tops:
        for folder, dirs, names in os.walk(top):
            for name in dirs + names:
                path = os.path.join(folder, name)
                try:
                    if os.lstat(path).st_uid == uid:
                        found.append(path)
                except OSError:
                    pass
    return found


def play_the_game(c):
    """A new user starts the installed game from nothing, under Xvfb, as from the menu: a solo
    table on the game's port, at which the game sits as "You"."""
    player = pwd.getpwnam(PLAYER)
    home = player.pw_dir
    # What a desktop login gives: a runtime folder of the user's own.
    runtime = f"/run/user/{player.pw_uid}"
    os.makedirs(runtime, mode=0o700)
    os.chown(runtime, player.pw_uid, player.pw_gid)
    env = {"HOME": home, "USER": PLAYER, "LOGNAME": PLAYER, "PATH": "/usr/bin:/bin",
           "LANG": "C.UTF-8", "SHELL": "/bin/sh", "XDG_RUNTIME_DIR": runtime}
    log = open(os.path.join(tempfile.gettempdir(), f"zp-package-game-{os.getpid()}.log"), "w+")
    game = subprocess.Popen(
        [shutil.which("runuser"), "-u", PLAYER, "--", "xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
         "/usr/bin/zandupelix"], cwd=home, env=env, stdout=log, stderr=subprocess.STDOUT,
        start_new_session=True)
    try:
        table = Session(7772, timeout=30)
        in_place = table.wait_for("CMD_sendlogininfo+2")
        if c.check(in_place, "the installed game hosts its solo table on port 7772 as record 1"):
            table.send("CMD_logininfo+2+" + output(["dpkg-query", "-W", "-f=${Version}", PACKAGE])
                       + "+Probe")
            c.check(table.wait_for("CMD_newplayerinfo+1+You", "CMD_existingplayers+1+You"),
                    "the game sits at its table as \"You\"")
            # Answered chat lines show the window has handled its own arrival, after which it
            # keeps its settings at close.
            for n in range(3):
                table.send(f"CMD_chat+2+line {n}|clBlack")
                table.wait_for(f"CMD_chat+2+Probe chats: line {n}|clBlack")
        pid = process_of("zandupelix", player.pw_uid)
        c.check(pid is not None, "the game runs as the new user")
        # The sound of the second player's arrival loads the sound module: the installed one,
        # the build folder being out of sight.
        module = f"/usr/lib/{PACKAGE}/{PACKAGE}-sound.so"
        deadline = time.monotonic() + 15
        while pid and time.monotonic() < deadline and module not in open(f"/proc/{pid}/maps").read():
            time.sleep(0.2)
        c.check(pid and module in open(f"/proc/{pid}/maps").read(),
                f"the game loaded its sound module from {module}")
        table.close()
        if pid:
            os.kill(pid, signal.SIGTERM)
        try:
            game.wait(timeout=20)
        except subprocess.TimeoutExpired:
            pass
        c.check(game.returncode == 0, "the game stops on SIGTERM and xvfb-run with it",
                f"exit {game.returncode}")
    finally:
        if game.poll() is None:
            os.killpg(game.pid, signal.SIGKILL)
            game.wait()
        log.seek(0)
        text = log.read()
        if text.strip():
            print("        the game said:\n" + "\n".join("          " + l for l in text.splitlines()[-20:]))
        log.close()
    data = os.path.join(home, ".local/share/zandupelix")
    tally = os.path.join(data, "ZanduPelixtally.tld")
    c.check(os.path.isfile(tally) and os.path.getsize(tally) > 0
            and os.stat(tally).st_uid == player.pw_uid,
            "the game kept its tally in the user's ~/.local/share/zandupelix", str(os.listdir(home)))
    c.check(not os.path.exists(os.path.join(home, "English")),
            "the word list it wrote while hosting is gone")
    kept = sorted(os.path.relpath(os.path.join(folder, name), home)
                  for folder, dirs, names in os.walk(home) for name in names)
    print(f"        the user's home holds: {', '.join(kept)}")
    outside = files_of(player.pw_uid, ["/usr", "/etc", "/var", "/opt", "/srv", "/root"])
    c.equal(outside, [], "the game wrote nothing of the user's outside their home")


def deny_write_execute():
    """MemoryDenyWriteExecute=yes, as the kernel's own switch that execve keeps: no memory
    both writable and executable, ever."""
    import ctypes
    PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN = 65, 1
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN, 0, 0, 0) != 0:
        os.write(2, b"(this kernel cannot deny memory both writable and executable)\n")


def start_as_service(args, env, uid, folder, name):
    """Starts `args` as systemd starts a service with DynamicUser=yes: an unprivileged user
    that owns nothing but `folder`, its working folder, without capabilities or any way to
    gain privileges, with no memory both writable and executable, with a clean environment
    holding the unit's variables."""
    os.makedirs(folder, exist_ok=True)
    os.chown(folder, uid, uid)
    service_env = dict(env, PATH="/usr/local/bin:/usr/bin:/bin", LANG="C.UTF-8")
    log = tempfile.TemporaryFile("w+")
    process = subprocess.Popen(
        [shutil.which("setpriv"), f"--reuid={uid}", f"--regid={uid}", "--clear-groups", "--no-new-privs",
         "--inh-caps=-all", "--bounding-set=-all", "--"] + args,
        cwd=folder, env=service_env, stdout=log, stderr=subprocess.STDOUT,
        preexec_fn=deny_write_execute)
    process.log = log
    process.name = name
    return process


def said(process):
    process.log.seek(0)
    return process.log.read()


def wait_said(process, text, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if text in said(process):
            return True
        if process.poll() is not None:
            return text in said(process)
        time.sleep(0.1)
    return False


def stop(c, process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    c.check(process.returncode == 0, f"{process.name} stops cleanly on SIGTERM",
            f"exit {process.returncode}\n{said(process)}")


def host_for_a_club(c, plan):
    """The directory and a table started with the options their units and /etc/zandupelix ship:
    the table registers, the directory lists it, both stop cleanly."""
    c.equal(plan["directory"], ["/usr/bin/zandupelix-directory", "--port", "7771"],
            "the directory's unit and settings give its shipped options")
    c.equal(plan["server"][:7], ["/usr/bin/zandupelix-server", "--port", "7772", "--name", TABLE,
                                 "--computer", "classic"],
            "the table's unit and settings give its shipped options, named after the instance")
    # RuntimeDirectory=: a folder systemd makes for the instance and removes after it.
    run_dir = plan["server_unit"]["WorkingDirectory"][0].replace("%t", "/run")
    directory = start_as_service(plan["directory"], plan["directory_env"], SERVICE_UID,
                                 "/run/zandupelix-directory-test", "the directory")
    server = start_as_service(plan["server"], plan["server_env"], SERVICE_UID + 1, run_dir,
                              "the table")
    try:
        c.check(wait_said(directory, "listening on port 7771"), "the directory listens on 7771",
                said(directory))
        c.check(wait_said(server, "listening on port 7772"), "the table listens on 7772",
                said(server))
        c.check(wait_said(server, "Listed by the directory 127.0.0.1:7771"),
                "the table is listed by the directory", said(server))
        listed = probe(7771, b"CMD_tablelist+\xff", b"CMD_tablelistend")
        c.check(listed is not None and any(m.startswith(b"CMD_listedtable+") and b"+" + TABLE.encode() + b"+" in m
                                           for m in listed),
                "the directory lists the table by its name", repr(listed))
        info = probe(7772, b"CMD_tableinfo+\xff", b"CMD_tableinfo+")
        c.check(info is not None and any(m.startswith(b"CMD_tableinfo+" + TABLE.encode() + b"+")
                                         for m in info),
                "the table answers with its name", repr(info))
        c.check(os.path.isfile(os.path.join(run_dir, "English")),
                "the table keeps its word list in its runtime folder", str(os.listdir(run_dir)))
    finally:
        stop(c, server)
        stop(c, directory)
    print("        the table said:\n" + "\n".join("          " + l for l in said(server).splitlines()))
    print("        the directory said:\n" + "\n".join("          " + l for l in said(directory).splitlines()))
    c.equal(os.listdir(run_dir), [], "the table removed its word list when it stopped")


def inside(plan):
    c = Checks()
    try:
        output(["ip", "link", "set", "lo", "up"])
        build = os.path.join(REPO, "build")
        if os.path.isdir(build):
            output(["mount", "-t", "tmpfs", "-o", "mode=0755", "tmpfs", build])
        # A /run of this namespace's own, so nothing is left in the machine's.
        output(["mount", "-t", "tmpfs", "-o", "mode=0755", "tmpfs", "/run"])
        play_the_game(c)
        host_for_a_club(c, plan)
    except Exception:
        import traceback
        c.check(False, "the installed programs ran to the end", traceback.format_exc())
    with open(plan["counts"], "w") as f:
        f.write(f"{c.passed} {c.failed}")
    return 1 if c.failed else 0


def main():
    # runuser, useradd and the like, whatever PATH the caller had.
    os.environ["PATH"] = os.environ.get("PATH", "/usr/bin:/bin") + ":/usr/sbin:/sbin"
    if len(sys.argv) >= 3 and sys.argv[1] == "--inside":
        return inside(json.loads(sys.argv[2]))
    debs = sys.argv[1:] or glob.glob(os.path.join(REPO, "build", "release", f"{PACKAGE}_*.deb"))
    if len(debs) != 1 or not os.path.isfile(debs[0]):
        print(f"usage: {sys.argv[0]} PACKAGE.deb (none or several found: {debs}); "
              "make package builds it", file=sys.stderr)
        return 2
    deb = os.path.abspath(debs[0])
    c = Checks()
    missing = [t for t in ["lintian", "appstreamcli", "desktop-file-validate", "man",
                           "systemd-analyze", "xvfb-run", "unshare", "setpriv"]
               if shutil.which(t) is None]
    if missing:
        message = (f"{', '.join(missing)} missing: scripts/install-deps.sh --package "
                   "installs what this test needs")
        if IN_CI:
            c.check(False, "the tools of the test are installed", message)
        else:
            c.skip("the package test", message)
        print(f"{c.passed} passed, {c.failed} failed, {c.skipped} skipped")
        return 1 if c.failed else 0
    with tempfile.TemporaryDirectory() as tree:
        output(["dpkg-deb", "-R", deb, tree])
        check_package_file(c, deb, tree)
        check_pages_name_every_option(c, os.path.join(tree, "usr/bin"),
                                      os.path.join(tree, "usr/share/man/man6"))
        check_pages_name_the_environment(c, os.path.join(tree, "usr/share/man/man6"))
    if IS_ROOT:
        install_and_use(c, deb)
    elif IN_CI:
        c.check(False, "the package is installed and used", "CI must run this test as root")
    else:
        c.skip("installing the package and using it", "needs root (apt-get install, a new "
               "user, a network namespace); run this test as root, as CI does")
    print(f"{c.passed} passed, {c.failed} failed, {c.skipped} skipped")
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main())
