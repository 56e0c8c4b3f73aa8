#!/usr/bin/env python3
"""Compares the outputs of two benchmark runs: compare.py BEFORE AFTER.

BEFORE and AFTER are copies of out/bench (bench/run.sh). For every portal
folder in both, every file the run wrote under Windows/ (feeds, working
copies, the AutoScout24 staging folder) must hold the same bytes, and every
archive the same entries with the same bytes (entry dates are left out: they
are the files' times, and so are dates in entry names). Names are matched with their dates and times (runs of
eight or more digits) left out. Prints each difference; exit status 1 if any.
"""
import os
import re
import sys
import zipfile


def outputs(folder):
    found = {}
    for base, _, names in os.walk(os.path.join(folder, "Windows")):
        for name in names:
            # The run history, the status page and the lock files hold
            # each run's times and process number.
            if (name.startswith("ExpDatas") or name.endswith(".log") or name.endswith(".lock")
                    or name in ("historique.jsonl", "etat.html")):
                continue
            path = os.path.join(base, name)
            key = re.sub(r"\d{8,}", "#", os.path.relpath(path, folder))
            found.setdefault(key, []).append(path)
    return found


def content(path):
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            return [(re.sub(r"\d{8,}", "#", i.filename), i.compress_type, z.read(i)) for i in z.infolist()]
    with open(path, "rb") as f:
        return f.read()


before, after = sys.argv[1], sys.argv[2]
differences = 0
compared = 0
for portal in sorted(set(os.listdir(before)) & set(os.listdir(after))):
    a, b = outputs(os.path.join(before, portal)), outputs(os.path.join(after, portal))
    for key in sorted(set(a) | set(b)):
        if key not in a or key not in b:
            print(f"{portal}: {key} only in {'after' if key in b else 'before'}")
            differences += 1
            continue
        # A run repeated within a folder leaves one dated copy per minute: all hold the same.
        ref = content(a[key][0])
        for path in a[key][1:] + b[key]:
            compared += 1
            if content(path) != ref:
                print(f"{portal}: {key} differs ({path})")
                differences += 1
print(f"{compared} outputs compared, {differences} differences")
sys.exit(1 if differences else 0)
