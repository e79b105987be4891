#!/usr/bin/env python3
"""Makes two releases of Pelora's app folder and dictionary folder, OLD and
NEW, whose update has a chosen number of entries spread over all twelve
sections, and new files of a chosen total size: a mix of executables,
libraries and text, patched, replaced, added, rewritten and removed.

usage: make_update_trees.py OUT --entries N --size BYTES --exe FILE --new-exe FILE [--seed N]

OUT receives old/, new/, dict-old/ and dict-new/. Pelora9.exe is the
entry that --exe (old) and --new-exe (new) give; the other N - 1 entries
lie in the section folders' roots, which both releases have. The same
arguments make the same bytes on every machine.
"""
import argparse
import os
import random
import sys

# Folder of each section, in the manifest's order; None is the dictionary
# folder, "" the app folder itself.
SECTION_FOLDERS = ["", "Pelora Tools", "User", "Pelora Filters", None, "Extras", "Color Inks",
                   "PLServer", "DATA", "Wizards", "PSFonts", "Symbols"]

WORDS = ("Pelora layer brush symbol filter drawing page the a of to and in colour ink path node "
         "curve fill stroke gradient").split()

# (extension, relative size, maker) of the kinds of file, taken in turn.
KINDS = [("exe", 8, "binary"), ("dll", 4, "binary"), ("txt", 1, "text"), ("dll", 2, "binary"),
         ("htm", 1, "text")]

# What happens to entry i, by i modulo len(ACTIONS): 14 steps, 1 removal.
ACTIONS = ["patch", "add", "rewrite", "patch", "add", "add", "rewrite",
           "patch", "add", "remove", "add", "rewrite", "patch", "add"]


def code_pool(rng, size):
    """Bytes shaped like code: short sequences used again and again, with
    noise between them."""
    pool = [rng.randbytes(rng.randrange(4, 40)) for _ in range(256)]
    parts, length = [], 0
    while length < size:
        part = rng.choice(pool) if rng.random() < 0.7 else rng.randbytes(rng.randrange(1, 16))
        parts.append(part)
        length += len(part)
    return b"".join(parts)[:size]


def text_pool(rng, size):
    lines, length = [], 0
    while length < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(1, 12))) + "\r\n"
        lines.append(line)
        length += len(line)
    return "".join(lines).encode("ascii")[:size]


def piece(rng, pool, size):
    """size bytes of pool from a random place, going round it as needed."""
    out = bytearray()
    at = rng.randrange(len(pool))
    while len(out) < size:
        take = min(size - len(out), len(pool) - at)
        out += pool[at:at + take]
        at = 0
    return bytes(out)


def edited(rng, data, edits):
    out = bytearray(data)
    for _ in range(edits):
        if not out:
            break
        at = rng.randrange(len(out))
        kind = rng.randrange(3)
        if kind == 0:
            out[at:at + 4] = rng.randbytes(4)
        elif kind == 1:
            out[at:at] = rng.randbytes(rng.randrange(1, 40))
        else:
            del out[at:at + rng.randrange(1, 40)]
    return bytes(out)


def build(args):
    rng = random.Random(args.seed)
    pools = {"binary": code_pool(rng, 4 << 20), "text": text_pool(rng, 4 << 20)}
    trees = {"old": {}, "new": {}, "dict-old": {}, "dict-new": {}}
    with open(args.exe, "rb") as f:
        trees["old"]["Pelora9.exe"] = f.read()
    with open(args.new_exe, "rb") as f:
        trees["new"]["Pelora9.exe"] = f.read()

    count = args.entries - 1
    weights = [KINDS[i % len(KINDS)][1] for i in range(count) if ACTIONS[i % len(ACTIONS)] != "remove"]
    unit = args.size / max(sum(weights), 1)
    for i in range(count):
        folder = SECTION_FOLDERS[(i + 1) % len(SECTION_FOLDERS)]
        ext, weight, maker = KINDS[i % len(KINDS)]
        action = ACTIONS[i % len(ACTIONS)]
        old_tree, new_tree = ("dict-old", "dict-new") if folder is None else ("old", "new")
        name = f"{action}{i:05d}.{ext}" if not folder else f"{folder}/{action}{i:05d}.{ext}"
        size = max(1, int(unit * weight * rng.uniform(0.5, 1.5)))
        if action == "remove":
            trees[old_tree][name] = piece(rng, pools[maker], size)
            continue
        content = piece(rng, pools[maker], size)
        trees[new_tree][name] = content
        if action == "patch":
            trees[old_tree][name] = edited(rng, content, 12)
        elif action == "rewrite":
            trees[old_tree][name] = piece(rng, pools[maker], size)
        # Every fourth entry has a file beside it that stays as it is.
        if i % 4 == 0:
            same = name.rsplit(".", 1)[0] + "-same." + ext
            trees[old_tree][same] = trees[new_tree][same] = piece(rng, pools[maker], size // 4 + 1)
    return trees


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out")
    parser.add_argument("--entries", type=int, required=True)
    parser.add_argument("--size", type=int, required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--new-exe", required=True)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.entries < 1:
        parser.error("--entries must be at least 1")
    if os.path.exists(args.out):
        sys.exit(f"make_update_trees.py: {args.out} exists already")
    for root, files in build(args).items():
        root = os.path.join(args.out, root)
        os.makedirs(root)
        for folder in SECTION_FOLDERS:
            if folder and root.endswith("old") and not root.endswith("dict-old"):
                os.makedirs(os.path.join(root, folder), exist_ok=True)
        for relative, content in files.items():
            path = os.path.join(root, *relative.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(content)


if __name__ == "__main__":
    main()
