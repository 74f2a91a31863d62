#!/usr/bin/env python3
"""Builds the carried word list from Debian's scowl package.

Output: fixed 15-byte records (0x1E, then the upper-case word padded with blanks to 14),
sorted by the 14 word bytes, no header or separators. The dictionary's binary search reads
records by position, so the order and width here are what it depends on.

Usage (from the repository root):
    python3 tools/wordlist/make-wordlist.py [--scowl DIR] [--out FILE] [--copyright FILE]
"""

import argparse
import pathlib
import re
import shutil
import subprocess
import sys

SCOWL_VERSION = "2020.12.07"
LISTS = ("english-words", "american-words", "british-words")
LEVELS = (10, 20, 35, 40, 50, 55, 60, 70, 80)
WORD = re.compile(rb"[a-z]{2,14}")
# Unit abbreviations that the lists carry as lower-case words; no player would offer them.
UNITS = {b"kb", b"lm", b"ln", b"lx", b"mb", b"mf"}
VOWELS = b"aeiou"
MARKER = b"\x1e"
WIDTH = 14


def excluded(word: bytes) -> bool:
    # Two-letter plurals of consonant letters ("bs", "ks") are not words anyone plays.
    if len(word) == 2 and word[1:] == b"s" and word[0] not in VOWELS:
        return True
    return word in UNITS


def collect(scowl: pathlib.Path) -> list[bytes]:
    words = set()
    for name in LISTS:
        for level in LEVELS:
            path = scowl / f"{name}.{level}"
            # The lists are Latin-1; words with accents fail the a-z test, so bytes suffice.
            for line in path.read_bytes().splitlines():
                if WORD.fullmatch(line) and not excluded(line):
                    words.add(line.upper())
    return sorted(word.ljust(WIDTH, b" ") for word in words)


def installed_version() -> str:
    try:
        out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "scowl"],
                             capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return "unknown"
    return out.split("-")[0]


def main() -> int:
    root = pathlib.Path(__file__).resolve().parents[2]
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--scowl", type=pathlib.Path, default=pathlib.Path("/usr/share/dict/scowl"))
    ap.add_argument("--out", type=pathlib.Path, default=root / "resources/words/English.dat")
    ap.add_argument("--copyright", type=pathlib.Path,
                    default=root / "resources/words/SCOWL-COPYRIGHT")
    ap.add_argument("--copyright-source", type=pathlib.Path,
                    default=pathlib.Path("/usr/share/doc/scowl/copyright"))
    args = ap.parse_args()

    if not args.scowl.is_dir():
        print(f"{args.scowl} not found: apt-get install -y --no-install-recommends scowl",
              file=sys.stderr)
        return 1
    version = installed_version()
    if version != SCOWL_VERSION:
        print(f"warning: scowl {version} installed, the committed list came from {SCOWL_VERSION}",
              file=sys.stderr)

    records = collect(args.scowl)
    args.out.parent.mkdir(parents=True, exist_ok=True)
    args.out.write_bytes(b"".join(MARKER + word for word in records))
    # The level-80 sources require the notice to travel with the lists.
    shutil.copyfile(args.copyright_source, args.copyright)
    print(f"{args.out}: {len(records)} records, {len(records) * (WIDTH + 1)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
