#!/usr/bin/env python3
"""Makes the sample installation before and after an update, and the update
package between them, for the updater's end-to-end runs and the default
package of the updater executable.

    make_sample.py PLPACK

old/ and new/ each hold an app folder "Pelora 9" (without Pelora9.exe, which
the runs supply) and a dictionary folder "Dictionaries". package/ receives
the update package between them, built by PLPACK (the host build's plpack),
and empty-package/ the same with no entries.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(9)


def text(lines, seed):
    r = random.Random(seed)
    words = ["pen", "brush", "layer", "curve", "node", "fill", "stroke", "ink", "grid", "guide"]
    return "".join(" ".join(r.choice(words) for _ in range(8)) + "\r\n" for _ in range(lines)).encode()


def binary(size, seed):
    r = random.Random(seed)
    # Executable-like: runs of small structures with repeats.
    out = bytearray()
    while len(out) < size:
        out += bytes(r.randrange(256) for _ in range(r.randrange(4, 40)))
        out += bytes(out[-r.randrange(1, len(out) + 1):][:r.randrange(4, 200)])
    return bytes(out[:size])


def changed(data, seed, edits=20):
    r = random.Random(seed)
    out = bytearray(data)
    for _ in range(edits):
        at = r.randrange(len(out))
        out[at:at + r.randrange(1, 12)] = bytes(r.randrange(256) for _ in range(r.randrange(1, 12)))
    return bytes(out)


APP = "Pelora 9"
DICT = "Dictionaries"
core = binary(24000, 1)
filters = binary(9000, 2)
readme = text(60, 3)
data = binary(5000, 4)

# (section, path in old, old content or None, new content or None)
FILES = [
    ("Core", "PLCore.dll", core, changed(core, 11)),
    ("Core", "Readme.txt", readme, readme + text(5, 12)),
    ("Core", "Same.txt", text(10, 13), text(10, 13)),
    ("Core", "Old.hlp", text(20, 14), None),
    ("Tools", "Pelora Tools/Tools.dat", binary(3000, 15), binary(3500, 16)),
    ("User", "User/Settings.ini", b"[View]\r\nZoom=100\r\n", b"[View]\r\nZoom=100\r\n"),
    ("User", "User/Templates/Basic.plt", None, text(30, 17)),
    ("Filters", "Pelora Filters/Blur.flt", filters, changed(filters, 18, 5)),
    ("Dict", "English.dic", text(40, 19), text(45, 20)),
    ("Extras", "Extras/Clipart.idx", text(8, 21), None),
    ("Color Inks", "Color Inks/Inks.pal", binary(2048, 22), changed(binary(2048, 22), 23, 3)),
    ("PlServer", "PLServer/Server.cfg", b"Port=7\r\n", b"Port=8\r\nHost=local\r\n"),
    ("Data", "DATA/Data.bin", data, changed(data, 24) + binary(700, 25)),
    ("Wizards", "Wizards/Wizard.wiz", None, text(12, 26)),
    ("PSFonts", "PSFonts/Empty.pfb", b"", binary(400, 27)),
    ("PSFonts", "PSFonts/Blank.pfm", None, b""),
    ("Symbols", "Symbols/Arrows.sym", binary(3000, 28), changed(binary(3000, 28), 29, 8)),
]
SECTION_FOLDER = {"Core": "", "Tools": "Pelora Tools/", "User": "User/", "Filters": "Pelora Filters/",
                  "Extras": "Extras/", "Color Inks": "Color Inks/", "PlServer": "PLServer/", "Data": "DATA/",
                  "Wizards": "Wizards/", "PSFonts": "PSFonts/", "Symbols": "Symbols/"}


def place(tree, section, path, content):
    root = os.path.join(HERE, tree, DICT if section == "Dict" else APP)
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(content)


def main():
    plpack = sys.argv[1]
    for tree in ("old", "new", "package", "empty-package"):
        shutil.rmtree(os.path.join(HERE, tree), ignore_errors=True)
    for tree in ("old", "new"):
        for sub in SECTION_FOLDER.values():
            os.makedirs(os.path.join(HERE, tree, APP, sub), exist_ok=True)
        os.makedirs(os.path.join(HERE, tree, DICT), exist_ok=True)
        # Git keeps no empty folders: each section folder holds a file.
        for sub in SECTION_FOLDER.values():
            if sub:
                place(tree, "Core", sub + "Keep.txt", b"kept\r\n")
        # The updater makes no folders for new files: Templates is there before.
        place(tree, "Core", "User/Templates/Keep.txt", b"kept\r\n")
    for section, path, old, new in FILES:
        if old is not None:
            place("old", section, path, old)
        if new is not None:
            place("new", section, path, new)

    template = os.path.join(tempfile.mkdtemp(), "status.ini")
    status = ["[Build]", "version=905", "[General]", "Command=Pelora9.exe /updated",
              "[Params]", "Success=Pelora was updated successfully.",
              "Failed=The update did not complete. Pelora is unchanged."]
    with open(template, "wb") as f:
        f.write(("\r\n".join(status) + "\r\n").encode())
    subprocess.check_call([plpack, "build", os.path.join(HERE, "old", APP), os.path.join(HERE, "new", APP),
                           os.path.join(HERE, "package"), "--status", template,
                           "--dict-old", os.path.join(HERE, "old", DICT),
                           "--dict-new", os.path.join(HERE, "new", DICT)])
    shutil.rmtree(os.path.dirname(template))
    # The same package with no entries, for the run that finds nothing to do.
    os.makedirs(os.path.join(HERE, "empty-package"), exist_ok=True)
    with open(os.path.join(HERE, "empty-package", "manifest.ini"), "wb") as f:
        f.write(b"[General]\r\nTotalFiles=0\r\n")
    shutil.copy(os.path.join(HERE, "package", "payload.bin"), os.path.join(HERE, "empty-package"))
    shutil.copy(os.path.join(HERE, "package", "status.ini"), os.path.join(HERE, "empty-package"))


if __name__ == "__main__":
    main()
