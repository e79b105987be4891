#!/usr/bin/env python3
"""Compares an installation with the release it should hold, as Windows sees
files: names without regard to letter case, empty folders and the backup
folder left aside.

    same_installation.py EXPECTED ACTUAL [EXPECTED ACTUAL ...]

Prints every file missing, unexpected or different; exit 0 when none is.
"""
import filecmp
import os
import sys


def files(root):
    out = {}
    for folder, dirs, names in os.walk(root):
        dirs[:] = [d for d in dirs if not (folder == root and d.lower() == "backup")]
        for name in names:
            path = os.path.join(folder, name)
            out[os.path.relpath(path, root).lower()] = path
    return out


def main():
    problems, count = [], 0
    pairs = sys.argv[1:]
    for expected_root, actual_root in zip(pairs[0::2], pairs[1::2]):
        expected, actual = files(expected_root), files(actual_root)
        count += len(expected)
        problems += ["missing: " + n for n in sorted(expected.keys() - actual.keys())]
        problems += ["unexpected: " + n for n in sorted(actual.keys() - expected.keys())]
        problems += ["differs: " + n for n in sorted(expected.keys() & actual.keys())
                     if not filecmp.cmp(expected[n], actual[n], shallow=False)]
    if problems:
        print("installation: differs from the new release:")
        print("\n".join("    " + p for p in problems))
        return 1
    print("installation: identical to the new release, file for file (%d files)" % count)
    return 0


if __name__ == "__main__":
    sys.exit(main())
