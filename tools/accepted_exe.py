#!/usr/bin/env python3
"""Makes an executable that the updater accepts as an installed Pelora 9.

    accepted_exe.py SOURCE DESTINATION

DESTINATION becomes SOURCE followed by the bytes that bring its byte sum (all
bytes as signed values, modulo 2^32) to the nearest of the accepted build
sums listed in install/locate_application.h. Executables run unchanged with
bytes appended.
"""
import os
import re
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def accepted_sums():
    header = open(os.path.join(TOP, "install", "locate_application.h")).read()
    table = re.search(r"accepted_image_sums = \{(.*?)\}", header, re.S).group(1)
    sums = [int(v, 16) for v in re.findall(r"0x[0-9a-fA-F]+", table)]
    # The trailing 0xff slots stand for no build.
    return [s for s in sums if s != 0xFF]


def byte_sum(data):
    return (sum(data) - 256 * sum(1 for b in data if b > 127)) & 0xFFFFFFFF


def padding(current, target):
    delta = (target - current) & 0xFFFFFFFF
    if delta >= 1 << 31:
        delta -= 1 << 32
    unit = 127 if delta > 0 else -128
    count, rest = divmod(abs(delta), abs(unit))
    out = bytes([unit & 0xFF]) * count
    if rest:
        out += bytes([(rest if delta > 0 else -rest) & 0xFF])
    return out


def main():
    source, destination = sys.argv[1], sys.argv[2]
    data = open(source, "rb").read()
    current = byte_sum(data)
    pad = min((padding(current, s) for s in accepted_sums()), key=len)
    with open(destination, "wb") as f:
        f.write(data + pad)
    os.chmod(destination, 0o755)
    result = byte_sum(data + pad)
    assert result in accepted_sums(), hex(result)
    print("%s: byte sum 0x%08x (%d bytes appended)" % (destination, result, len(pad)))


if __name__ == "__main__":
    main()
