#!/bin/sh
# A blind player's game heard through the Orca screen reader and the speech service.
#
#   bench/accessibility/orca_game.sh [BUILD_DIR] [WORK_DIR]
#
# Starts a D-Bus session of its own and in it Xvfb, openbox, the accessibility bus,
# speech-dispatcher (its voice writes what it says to a log), Orca with its debug log, a
# zandupelix-server on a free port and Ann's window, then plays a game by keyboard alone
# (xdotool) against a scripted player and the computer player. It writes to WORK_DIR (a new
# folder in /tmp unless given) the logs, screenshots of the key moments and report.md: per
# event whether Orca or the speech service said it, and how late. See orca_game.py.
#
# Needs (Debian): orca openbox speech-dispatcher xvfb xdotool imagemagick espeak-ng dbus-x11
# at-spi2-core python3-pyatspi, and a release build (make release). About 6 minutes.
set -e
here=$(cd "$(dirname "$0")" && pwd)
for tool in orca openbox speech-dispatcher Xvfb xdotool import espeak-ng dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (see the top of $0)" >&2; exit 2; }
done
if pgrep -u "$(id -u)" -f "/usr/bin/orca" >/dev/null 2>&1; then
  echo "another Orca of this user runs; Orca refuses to start beside it" >&2
  exit 2
fi
exec dbus-run-session -- /usr/bin/python3 "$here/orca_game.py" "$@"
