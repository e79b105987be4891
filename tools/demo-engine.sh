#!/bin/sh
# Shows the updater's engine at work on sample files, on both builds:
# an SZDD file made by the real compressor is expanded, and a binary patch
# rebuilds a new file from an old one and is verified by its byte sum.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
host=$top/build/host/plpack
win=$top/build/win/plpack.exe
work=$(mktemp -d /tmp/plupdate-demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEPREFIX=$top/build/win/wineprefix
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i >/dev/null 2>&1

step() { printf '\n== %s\n' "$*"; }

step "A sample file: the host plpack executable itself"
cp "$host" "$work/sample.bin"
ls -l "$work/sample.bin" | awk '{print $5 " bytes"}'

step "Compressed with mscompress (SZDD)"
mscompress "$work/sample.bin"
ls -l "$work/sample.bin_" | awk '{print $5 " bytes"}'

step "Expanded by the host build and by the Windows build under Wine"
"$host" expand "$work/sample.bin_" "$work/host.out"
(cd "$work" && wine "$win" expand sample.bin_ win.out)
cmp "$work/sample.bin" "$work/host.out" && echo "host:    identical to the original"
cmp "$work/sample.bin" "$work/win.out" && echo "windows: identical to the original"

step "A binary patch: old -> new, with runs, a block and the checksum"
python3 - "$work" <<'PY'
import struct, sys, random
work = sys.argv[1]
old = open(work + "/sample.bin", "rb").read()
random.seed(1)
new, body, cursor = bytearray(), bytearray(), 0
while cursor + 200 < len(old) // 2:
    count = random.randrange(100)
    literal = random.randrange(256)
    body += bytes([0x80 | count, literal])
    new += old[cursor:cursor + count] + bytes([literal])
    cursor += count + 1
tail = old[len(old) // 2:]
body += bytes([0]) + struct.pack("<IIII", len(old) // 2, len(tail), 5, 0) + b"Demo!"
new += tail + b"Demo!"
checksum = sum(b - 256 if b > 127 else b for b in new) & 0xFFFFFFFF
open(work + "/sample.patch", "wb").write(body + struct.pack("<I", checksum))
open(work + "/expected.bin", "wb").write(new)
PY
ls -l "$work/sample.patch" | awk '{print $5 " bytes of patch"}'
"$host" apply "$work/sample.bin" "$work/sample.patch" "$work/new-host.bin"
(cd "$work" && wine "$win" apply sample.bin sample.patch new-win.bin)
cmp "$work/expected.bin" "$work/new-host.bin" && echo "host:    patched and verified"
cmp "$work/expected.bin" "$work/new-win.bin" && echo "windows: patched and verified"
echo "byte sums: old $("$host" bytesum "$work/sample.bin"), new $("$host" bytesum "$work/new-host.bin")"

step "A patch whose checksum does not match is refused"
cp "$work/sample.patch" "$work/bad.patch"
printf '\001\002\003\004' | dd of="$work/bad.patch" bs=1 seek=$(($(stat -c %s "$work/bad.patch") - 4)) conv=notrunc 2>/dev/null
"$host" apply "$work/sample.bin" "$work/bad.patch" "$work/bad.out" || echo "(exit status $?)"
