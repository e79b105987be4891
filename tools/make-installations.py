#!/usr/bin/env python3
"""Makes two installations of Pelora's app folder, OLD and NEW, that differ
in every way an update can: files changed in place, grown and shrunk,
added, removed, left alone, emptied, and rewritten beyond patching; in
every section folder, in subfolders, with section folders whose letter
case differs between the two; optionally with dictionary folders.

usage: make-installations.py OLD NEW [--size BYTES] [--seed N] [--exe FILE]
                             [--new-exe FILE] [--exe-sum HEX|none]
                             [--dict-old DIR --dict-new DIR]

By default OLD's Pelora9.exe is one the updater accepts: bytes are appended
to it until its byte sum is the nearest of the accepted builds' sums
(install/locate_application.h), so that plpack build, verify and the
updater take OLD as an installed Pelora 9.

The same arguments make the same bytes on every machine. OLD and NEW must
not exist yet.
"""
import argparse
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import accepted_exe  # noqa: E402

WORDS = ("Pelora layer brush symbol filter drawing page the a of to and in "
         "colour ink path node curve fill stroke gradient").split()


def binary(rng, size):
    """Bytes shaped like code: a pool of short sequences used again and
    again, with noise between them, so that they compress somewhat."""
    pool = [bytes(rng.getrandbits(8) for _ in range(rng.randrange(4, 40))) for _ in range(64)]
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.7:
            out += rng.choice(pool)
        else:
            out += bytes(rng.getrandbits(8) for _ in range(rng.randrange(1, 16)))
    return bytes(out[:size])


def text(rng, size):
    lines = []
    length = 0
    while length < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(1, 12))) + "\r\n"
        lines.append(line)
        length += len(line)
    return "".join(lines).encode("ascii")[:size]


def edited(rng, data, edits=12, grow=0):
    """data with a few local edits: values overwritten in place, short runs
    put in and cut out; `grow` more bytes appended (negative: cut off)."""
    out = bytearray(data)
    for _ in range(edits):
        if not out:
            break
        at = rng.randrange(len(out))
        kind = rng.randrange(3)
        if kind == 0:
            out[at:at + 4] = bytes(rng.getrandbits(8) for _ in range(4))
        elif kind == 1:
            out[at:at] = bytes(rng.getrandbits(8) for _ in range(rng.randrange(1, 40)))
        else:
            del out[at:at + rng.randrange(1, 40)]
    if grow > 0:
        out += text(rng, grow)
    elif grow < 0:
        del out[grow:]
    return bytes(out)


def byte_sum(data):
    return sum(b - 256 if b > 127 else b for b in data) & 0xFFFFFFFF


def with_byte_sum(data, target):
    """data with bytes appended so that its byte sum becomes target."""
    delta = (target - byte_sum(data)) & 0xFFFFFFFF
    if delta >= 0x80000000:
        delta -= 0x100000000
    step = 127 if delta > 0 else -128
    full, rest = divmod(abs(delta), abs(step))
    tail = bytes([step & 0xFF]) * full
    if rest:
        tail += bytes([(rest if delta > 0 else -rest) & 0xFF])
    result = data + tail
    assert byte_sum(result) == target
    return result


def build(args):
    rng = random.Random(args.seed)
    big, small = args.size, max(args.size // 8, 1)
    old, new = {}, {}  # relative path -> bytes

    def same(path, content):
        old[path] = new[path] = content

    def changed(old_path, new_path, content, **kw):
        old[old_path] = content
        new[new_path] = edited(rng, content, **kw)

    # Core: the app folder itself and a subfolder of it.
    if args.exe:
        with open(args.exe, "rb") as f:
            exe = f.read()
    else:
        exe = binary(rng, big)
    if args.exe_sum is None:
        exe += min((accepted_exe.padding(byte_sum(exe), target) for target in accepted_exe.accepted_sums()),
                   key=len)
    elif args.exe_sum != "none":
        exe = with_byte_sum(exe, args.exe_sum)
    changed("Pelora9.exe", "Pelora9.exe", exe, edits=20)
    if args.new_exe:
        with open(args.new_exe, "rb") as f:
            new["Pelora9.exe"] = f.read()
    changed("PLCore.dll", "PLCore.dll", binary(rng, big))
    same("Pelora.tlb", binary(rng, small))
    changed("ReadMe.txt", "ReadMe.txt", text(rng, small), edits=2, grow=small // 2)
    same("Help/index.htm", text(rng, small))
    new["Help/whatsnew.htm"] = text(rng, small)
    old["OldTool.dll"] = binary(rng, small)
    # Section folders spelt in another letter case in OLD or NEW.
    changed("pelora tools/Trace.dll", "Pelora Tools/Trace.dll", binary(rng, big), grow=-small // 4)
    new["Pelora Tools/Blend.dll"] = binary(rng, small)
    old["pelora tools/Legacy.dll"] = binary(rng, small)
    changed("USER/Prefs.ini", "User/Prefs.ini", text(rng, small), edits=3)
    new["User/Blank.txt"] = b""
    old["USER/Shrink.dat"] = binary(rng, small)
    new["User/Shrink.dat"] = b""
    old["USER/Empty.dat"] = new["User/Empty.dat"] = b""
    changed("Pelora Filters/PNGIMP.FLT", "Pelora Filters/PNGIMP.FLT", binary(rng, big))
    same("Pelora Filters/TIFIMP.FLT", binary(rng, small))
    changed("Extras/Macros/Shapes.MCR", "EXTRAS/Macros/Shapes.MCR", text(rng, small), edits=4)
    old["Extras/engineer_valves.MCR"] = text(rng, small)
    # Rewritten whole: a replacement beats any patch.
    old["Color Inks/INKS.PAL"] = binary(rng, small)
    new["Color Inks/INKS.PAL"] = bytes(rng.getrandbits(8) for _ in range(small))
    changed("PLServer/plserver.cfg", "PLServer/plserver.cfg", text(rng, small), edits=2)
    changed("DATA/units.dat", "DATA/units.dat", binary(rng, small))
    # Folders the updater creates before the Data, PSFonts and Symbols entries.
    new["DATA/GIS DATA FILES/CSV/zones.csv"] = text(rng, small)
    changed("Wizards/WebWiz/STARTPAG.TXT", "Wizards/WebWiz/STARTPAG.TXT", text(rng, small), edits=3)
    old["Wizards/WebWiz/OLDPAGE.TXT"] = text(rng, small)
    same("PSFonts/Arial.pfb", binary(rng, small))
    new["PSFonts/cmaps/UniJIS.cmap"] = binary(rng, small)
    changed("symbols/Base Symbols/Arrows.sym", "SYMBOLS/Base Symbols/Arrows.sym", binary(rng, small))
    new["SYMBOLS/Flow.sym"] = binary(rng, small)

    trees = [(args.old, old), (args.new, new)]
    if args.dict_old:
        dict_old, dict_new = {}, {}
        dict_old["en_US.dic"] = text(rng, big)
        dict_new["en_US.dic"] = edited(rng, dict_old["en_US.dic"], edits=6, grow=small)
        dict_new["de_DE.dic"] = text(rng, small)
        dict_old["fr_FR.dic"] = text(rng, small)
        dict_old["Custom/user.dic"] = dict_new["Custom/user.dic"] = text(rng, small)
        trees += [(args.dict_old, dict_old), (args.dict_new, dict_new)]
    return trees


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        epilog="The same arguments make the same bytes on every machine. OLD and NEW must not exist yet.")
    parser.add_argument("old", metavar="OLD", help="the installation before the update (made here)")
    parser.add_argument("new", metavar="NEW", help="the installation after the update (made here)")
    parser.add_argument("--size", type=int, default=16384, metavar="BYTES",
                        help="size of the larger files (default 16384); the smaller ones are an eighth of it, "
                             "and the whole of NEW is about 12 times this")
    parser.add_argument("--seed", type=int, default=1, metavar="N",
                        help="seed of the generator (default 1): another seed, other bytes")
    parser.add_argument("--exe", metavar="FILE",
                        help="the file to put in OLD's Pelora9.exe slot (NEW's is an edited copy of it); "
                             "without it both are generated")
    parser.add_argument("--new-exe", metavar="FILE",
                        help="the file to put in NEW's Pelora9.exe slot instead, for instance a program "
                             "that must still run once the update has patched it")
    parser.add_argument("--exe-sum", metavar="HEX|none",
                        type=lambda text: text if text == "none" else int(text, 16) & 0xFFFFFFFF,
                        help="append bytes to OLD's Pelora9.exe until its byte sum (each byte taken as "
                             "signed, modulo 2^32) is HEX; default: the nearest sum the updater accepts; "
                             "none: leave the file as it is (the updater will then refuse OLD)")
    parser.add_argument("--dict-old", metavar="DIR",
                        help="also make a dictionary folder before the update here (with --dict-new)")
    parser.add_argument("--dict-new", metavar="DIR",
                        help="and the dictionary folder after the update here (with --dict-old)")
    args = parser.parse_args()
    if bool(args.dict_old) != bool(args.dict_new):
        parser.error("--dict-old and --dict-new go together")
    if args.size < 8:
        parser.error("--size must be at least 8")
    trees = build(args)
    for root, _ in trees:
        if os.path.exists(root):
            sys.exit(f"make-installations.py: {root} exists already")
    for root, files in trees:
        os.makedirs(root)
        for relative, content in files.items():
            path = os.path.join(root, *relative.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(content)


if __name__ == "__main__":
    main()
