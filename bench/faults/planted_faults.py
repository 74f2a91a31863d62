#!/usr/bin/env python3
"""Plants faults one at a time, as a developer might make them, and sees whether the tests
of the folders they are in catch them.

    bench/faults/planted_faults.py FAULTS_FILE [BUILD_DIR]

FAULTS_FILE holds blocks separated by a line "----": a first line "path: what the fault
is", then the text as it stands, a line "=>", and the text to put in its place (it must
occur exactly once). BUILD_DIR is a sanitizer build (make asan; default build/asan). For
each fault: the text is replaced, the build dir is rebuilt, the test programs of net/,
lobby/ and directory/ (and the directory's program test) run, and the file is put back.
A fault is caught when a test fails; one the compiler refuses was planted wrong and is not
counted. Prints one line a fault and the share caught; leaves the tree as it was, also when
interrupted.
"""
import glob
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAMS = ["tests/net/*_tests", "tests/lobby/*_tests", "tests/directory/*_tests",
            "tests/app/directory_program_tests"]


def faults(path):
    text = open(path).read()
    for block in text.split("\n----\n"):
        block = "\n".join(line for line in block.split("\n") if not line.startswith("#"))
        block = block.strip("\n")
        if not block:
            continue
        head, _, body = block.partition("\n")
        file, _, what = head.partition(": ")
        lines = body.split("\n")
        if "=>" not in lines:
            sys.exit(f"no '=>' in the fault {head!r}")
        # The text put in its place may be empty: the fault then deletes the text.
        at = lines.index("=>")
        yield file.strip(), what.strip(), "\n".join(lines[:at]), "\n".join(lines[at + 1:])


def run_tests(build, folder):
    env = dict(os.environ, LSAN_OPTIONS=f"suppressions={ROOT}/tests/lsan.supp")
    # The fault's own folder first: most faults are caught there, and the rest need not run.
    for pattern in sorted(PROGRAMS, key=lambda pattern: f"/{folder}/" not in pattern):
        for program in sorted(glob.glob(os.path.join(build, pattern))):
            if not os.access(program, os.X_OK) or program.endswith("_probe"):
                continue
            try:
                r = subprocess.run([program, "--gtest_brief=1"], cwd=os.path.dirname(program),
                                   env=env, capture_output=True, timeout=600)
            except subprocess.TimeoutExpired:
                return f"{os.path.basename(program)} hung"
            if r.returncode != 0:
                failed = [line[len("[  FAILED  ]"):].split()[0]
                          for line in r.stdout.decode(errors="replace").splitlines()
                          if line.startswith("[  FAILED  ]") and "." in line]
                return f"{os.path.basename(program)}: {', '.join(failed[:3]) or 'exit ' + str(r.returncode)}"
    return ""


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build/asan"))
    caught = total = 0
    for file, what, before, after in faults(sys.argv[1]):
        path = os.path.join(ROOT, file)
        original = open(path).read()
        if original.count(before) != 1:
            print(f"SKIP  {file}: {what} (the text occurs {original.count(before)} times)")
            continue
        total += 1
        started = time.time()
        try:
            with open(path, "w") as f:
                f.write(original.replace(before, after))
            b = subprocess.run(["ninja", "-C", build, "-j2"], capture_output=True)
            verdict = None if b.returncode != 0 else run_tests(build, file.split("/")[0])
        finally:
            with open(path, "w") as f:
                f.write(original)
        if verdict is None:
            total -= 1
            print(f"NOT BUILT  {file}: {what}", flush=True)
            continue
        caught += bool(verdict)
        print(f"{'caught' if verdict else 'MISSED'}  {file}: {what}  [{verdict or 'all pass'}; "
              f"{time.time() - started:.0f} s]", flush=True)
    subprocess.run(["ninja", "-C", build, "-j2"], capture_output=True)
    if total:
        print(f"\n{caught} of {total} caught ({100.0 * caught / total:.1f}%)")


if __name__ == "__main__":
    main()
