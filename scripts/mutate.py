#!/usr/bin/env python3
"""Mutation testing: puts each fault of scripts/mutants.txt into the core, one at a time, rebuilds the unit
tests and runs them. Prints the score and the faults no test caught.

Works on a scratch copy of the working tree (the tree itself is never changed), built in release with
Ninja. The end-to-end suites, which start the real programs, are left out: too slow to run 60 times.

Usage: scripts/mutate.py [--scratch DIR] [--only TEXT] [--tests-from COMMIT] [--skip PATTERN]...
  --tests-from  takes tests/ from COMMIT instead of the working tree (to score older tests)
  --skip        leaves out the tests matching a gtest pattern as well (one that fails without any fault)
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Suites and tests that start the real programs, a display or a print server.
SLOW_SUITES = ["*EndToEnd*", "CupsPrinting*", "CupsFilter*", "DosEmulator*", "PdfOutput*", "QtDesktop*",
               "ProgramDesktop*", "ErrorLog.TheProgram*"]
TEST_TIMEOUT = 300


def parse_mutants(path):
    mutants, block = [], {}
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for line in lines + [""]:
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                mutants.append(block)
            block = {}
            continue
        key, _, value = line.partition(":")
        value = value[1:] if value.startswith(" ") else value
        block[key.strip()] = value.replace("\\n", "\n")
    for m in mutants:
        if not {"file", "from", "to"} <= m.keys():
            sys.exit(f"mutant without file/from/to: {m}")
    return mutants


def run(cmd, cwd, timeout=None):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors="replace", timeout=timeout)


def prepare(scratch, tests_from):
    tree = os.path.join(scratch, "tree")
    files = [f for f in run(["git", "ls-files", "-co", "--exclude-standard"], ROOT).stdout.split("\n")
             if f and not f.startswith("build/")]
    wanted = set(files)
    for folder, _, names in os.walk(tree):
        for name in names:
            if os.path.relpath(os.path.join(folder, name), tree) not in wanted:
                os.remove(os.path.join(folder, name))
    for name in files:
        if not name or name.startswith("build/"):
            continue
        source, target = os.path.join(ROOT, name), os.path.join(tree, name)
        if not os.path.isfile(source):
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # Copy only what changed, so that Ninja rebuilds as little as possible between runs.
        if not os.path.exists(target) or open(source, "rb").read() != open(target, "rb").read():
            shutil.copy(source, target)  # a fresh time stamp, so that Ninja rebuilds it
    if tests_from:
        shutil.rmtree(os.path.join(tree, "tests"))
        archive = subprocess.run(["git", "archive", tests_from, "tests"], cwd=ROOT, stdout=subprocess.PIPE,
                                 check=True).stdout
        subprocess.run(["tar", "-x", "-C", tree], input=archive, check=True)
    # Only the unit test binary: no end-to-end programs, no test discovery after each link.
    cmake = os.path.join(tree, "CMakeLists.txt")
    text = open(cmake, encoding="utf-8").read()
    text = "\n".join(l for l in text.split("\n")
                     if not l.startswith("add_dependencies(quillmark_tests") and
                     not l.startswith("  add_dependencies(quillmark_tests") and
                     not l.startswith("gtest_discover_tests("))
    open(cmake, "w", encoding="utf-8").write(text)
    build = os.path.join(scratch, "build")
    if not os.path.exists(os.path.join(build, "build.ninja")):
        r = run(["cmake", "-G", "Ninja", "-Wno-dev", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=Release"],
                ROOT)
        if r.returncode != 0:
            sys.exit(r.stdout)
    return tree, build


def build_tests(build):
    return run(["nice", "ninja", "-C", build, "-j2", "quillmark_tests"], build)


def unit_tests(build, skip=()):
    binary = os.path.join(build, "quillmark_tests")
    try:
        r = run([binary, "--gtest_filter=-" + ":".join(SLOW_SUITES + list(skip)), "--gtest_brief=1"], build,
                timeout=TEST_TIMEOUT)
        return r.returncode == 0, r.stdout
    except subprocess.TimeoutExpired:
        return False, "timeout"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scratch", default=os.path.join(ROOT, "build", "mutate"))
    parser.add_argument("--only", help="only mutants whose file or text contains this")
    parser.add_argument("--tests-from", help="take tests/ from this commit")
    parser.add_argument("--skip", action="append", default=[], help="gtest pattern of tests to leave out")
    args = parser.parse_args()
    # An interrupted run still puts the file it changed back.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("interrupted"))

    mutants = parse_mutants(os.path.join(ROOT, "scripts", "mutants.txt"))
    if args.only:
        mutants = [m for m in mutants if args.only in m["file"] or args.only in m["from"]]
    tree, build = prepare(args.scratch, args.tests_from)

    r = build_tests(build)
    if r.returncode != 0:
        sys.exit("the unmutated tree does not build:\n" + r.stdout[-4000:])
    ok, out = unit_tests(build, args.skip)
    if not ok:
        sys.exit("the unit tests fail without any fault:\n" + out[-4000:])

    killed, survivors, broken = 0, [], []
    started = time.time()
    for n, m in enumerate(mutants, 1):
        path = os.path.join(tree, m["file"])
        original = open(path, encoding="utf-8").read()
        label = f'{m["file"]}: {m["from"]!r} -> {m["to"]!r}'
        if original.count(m["from"]) != 1:
            broken.append(label + " (text not found once)")
            print(f"[{n}/{len(mutants)}] NOT APPLIED {label}", flush=True)
            continue
        try:
            open(path, "w", encoding="utf-8").write(original.replace(m["from"], m["to"]))
            r = build_tests(build)
            if r.returncode != 0:
                broken.append(label + " (does not compile)")
                verdict = "DOES NOT COMPILE"
            else:
                passed, _ = unit_tests(build, args.skip)
                if not passed:
                    killed += 1
                    verdict = "caught"
                else:
                    survivors.append(m)
                    verdict = "SURVIVED"
        finally:
            open(path, "w", encoding="utf-8").write(original)
        print(f"[{n}/{len(mutants)}] {verdict:8} {label}", flush=True)
    build_tests(build)  # leave the scratch build matching the tree

    scored = killed + len(survivors)
    annotated = [m for m in survivors if m.get("why")]
    print(f"\n== {killed} of {scored} faults caught by the unit tests "
          f"({100.0 * killed / max(scored, 1):.0f}%), {len(survivors)} survived "
          f"({len(annotated)} of them with a reason), {time.time() - started:.0f} s")
    for m in survivors:
        print(f'  survived: {m["file"]}: {m["from"]!r} -> {m["to"]!r}')
        why = m.get("why") or "NO REASON GIVEN: add a test row or a why"
        print(f"            {why}")
    for label in broken:
        print(f"  not scored: {label}")
    return 1 if broken or len(annotated) != len(survivors) else 0


if __name__ == "__main__":
    sys.exit(main())
