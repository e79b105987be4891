#!/bin/sh
# plpack attach: a built Windows updater takes another package in place of
# its own; the result lists that package as the folder does, keeps a
# loader-valid checksum, drops a signature, and is refused, leaving OUT as
# it was, for files that are not our updaters.
# Usage: plpack_attach.sh BUILD_DIR SOURCE_DIR
set -u
plpack=$1/plpack
src=$2
package=$2/tests/data/sample/package
. "$2/tests/support/checks.sh"

updater=
for candidate in "$2/build/win/PLUpdate.exe" "$2/build/win/tests/test_package.exe"; do
  if [ -f "$candidate" ]; then updater=$candidate; break; fi
done
if [ -z "$updater" ]; then
  echo "plpack attach: skipped, no Windows build under $2/build/win"
  exit 77
fi

# pe_fields FILE: "checksum computed certificate-size" of a PE file,
# computed here independently of plpack.
pe_fields() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
optional = pe + 24
magic = struct.unpack_from("<H", data, optional)[0]
directories = optional + (112 if magic == 0x20B else 96)
stored = struct.unpack_from("<I", data, optional + 64)[0]
padded = data + b"\0" * (len(data) % 2)
total = 0
for i in range(0, len(padded), 2):
    if i in (optional + 64, optional + 66):
        continue
    total += padded[i] | padded[i + 1] << 8
    total = (total & 0xFFFF) + (total >> 16)
total = (total & 0xFFFF) + (total >> 16)
print(stored, total + len(data), struct.unpack_from("<I", data, directories + 36)[0])
PY
}

# pe_resources FILE: every resource of a PE file but the package's and the
# version resource (checked on its own), one line each: type/name/language, size, code page, digest of the data.
pe_resources() {
  python3 - "$1" <<'PY' | grep -v -e '^DATA/100[012]/' -e '^16/'
import struct, sys, hashlib
d = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", d, 0x3C)[0]; opt = pe + 24
n = struct.unpack_from("<H", d, pe + 6)[0]; osz = struct.unpack_from("<H", d, pe + 20)[0]
magic = struct.unpack_from("<H", d, opt)[0]; dd = opt + (112 if magic == 0x20B else 96)
rva = struct.unpack_from("<I", d, dd + 16)[0]
secs = [struct.unpack_from("<IIII", d, opt + osz + 40 * i + 8) for i in range(n)]
def off(r):
    for vs, va, rs, ro in secs:
        if va <= r < va + max(vs, rs): return ro + r - va
base = off(rva)
def name(k):
    if k & 0x80000000:
        o = base + (k & 0x7FFFFFFF); l = struct.unpack_from("<H", d, o)[0]
        return d[o + 2:o + 2 + 2 * l].decode("utf-16le")
    return str(k)
def walk(o, path):
    nn, ni = struct.unpack_from("<HH", d, base + o + 12)
    for i in range(nn + ni):
        k, t = struct.unpack_from("<II", d, base + o + 16 + 8 * i)
        p = path + [name(k)]
        if t & 0x80000000: walk(t & 0x7FFFFFFF, p)
        else:
            r, s, cp = struct.unpack_from("<III", d, base + t)
            print("/".join(p), s, cp, hashlib.sha256(d[off(r):off(r) + s]).hexdigest()[:16])
walk(0, [])
PY
}
# pe_version FILE: the product version of a PE file's version resource, as
# "fixed-info-major.minor string", read here independently of plpack.
pe_version() {
  python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", d, 0x3C)[0]; opt = pe + 24
n = struct.unpack_from("<H", d, pe + 6)[0]; osz = struct.unpack_from("<H", d, pe + 20)[0]
magic = struct.unpack_from("<H", d, opt)[0]; dd = opt + (112 if magic == 0x20B else 96)
rva = struct.unpack_from("<I", d, dd + 16)[0]
secs = [struct.unpack_from("<IIII", d, opt + osz + 40 * i + 8) for i in range(n)]
def off(r):
    for vs, va, rs, ro in secs:
        if va <= r < va + max(vs, rs): return ro + r - va
base = off(rva)
def first_leaf(o):
    k, t = struct.unpack_from("<II", d, base + o + 16)
    return first_leaf(t & 0x7FFFFFFF) if t & 0x80000000 else t
nn, ni = struct.unpack_from("<HH", d, base + 12)
for i in range(nn + ni):
    k, t = struct.unpack_from("<II", d, base + 16 + 8 * i)
    if k == 16:
        r, size = struct.unpack_from("<II", d, base + first_leaf(t & 0x7FFFFFFF))
        v = d[off(r):off(r) + size]
        fixed = v.index(b"\xbd\x04\xef\xfe")
        ms = struct.unpack_from("<I", v, fixed + 16)[0]
        key = "ProductVersion\0".encode("utf-16le")
        at = v.index(key) + len(key); at += (-at) % 4
        text = v[at:v.index(b"\0\0", at) + 1].decode("utf-16le")
        print("%d.%d %s" % (ms >> 16, ms & 0xFFFF, text.rstrip("\0")))
        break
else:
    print("none")
PY
}

pe_resources "$updater" >"$work/kept.expected"
[ -s "$work/kept.expected" ] || fail "the updater lists no resources of its own"

# check_attached OUT WHAT: OUT lists the package as its folder does, with a
# right checksum and no signature.
grep_listing() { grep -v -e '^Package folder ' -e '^Updater ' -e '^Version resource: ' "$1"; }
"$plpack" inspect "$package" >"$work/folder.out" 2>&1
grep_listing "$work/folder.out" >"$work/folder.listing"
check_attached() {
  attached=$1
  "$plpack" inspect "$1" >"$work/out.out" 2>&1
  grep_listing "$work/out.out" >"$work/out.listing"
  diff "$work/folder.listing" "$work/out.listing" >&2 || fail "$2: the attached package is listed differently"
  set -- $(pe_fields "$1") "$2"
  [ "$1" = "$2" ] || fail "$4: checksum $1 stored, $2 computed"
  [ "$3" = 0 ] || fail "$4: a certificate table of $3 bytes is left"
  pe_resources "$attached" >"$work/kept.out"
  diff "$work/kept.expected" "$work/kept.out" >&2 || fail "$4: the updater's other resources changed"
  if [ "$(pe_version "$updater")" != none ]; then
    [ "$(pe_version "$attached")" = "905.0 905" ] || fail "$4: the version resource says $(pe_version "$attached"), not 905"
  fi
}

run first attach "$updater" "$package" "$work/first.exe"
[ "$rc" -eq 0 ] || fail "attach to the released updater: exit $rc: $(cat "$work/first.err")"
check_attached "$work/first.exe" "released updater"

# Again, to an updater that carries a package already: its own rewritten
# section is replaced, so the file does not grow.
run second attach "$work/first.exe" "$package" "$work/second.exe"
[ "$rc" -eq 0 ] || fail "attach to an attached updater: exit $rc"
check_attached "$work/second.exe" "attached updater"
cmp -s "$work/first.exe" "$work/second.exe" || fail "attaching the same package twice gives another file"

# To a signed updater: the signature goes.
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=plpack test" -days 2 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -h sha256 \
  -in "$updater" -out "$work/signed.exe" >/dev/null 2>&1 || fail "osslsigncode cannot sign the updater"
set -- $(pe_fields "$work/signed.exe")
[ "$3" != 0 ] || fail "the signed updater has no certificate table"
run signed attach "$work/signed.exe" "$package" "$work/from-signed.exe"
[ "$rc" -eq 0 ] || fail "attach to a signed updater: exit $rc"
check_attached "$work/from-signed.exe" "signed updater"

# Refusals: exit 1, the reason, and an existing OUT left as it was.
head -c 1000 "$updater" >"$work/truncated-headers.exe"
head -c 200000 "$updater" >"$work/truncated.exe"
head -c $(($(wc -c <"$updater") / 2)) "$updater" >"$work/half.exe"
refused() {
  printf 'previous\n' >"$work/out.exe"
  run refused attach "$1" "$package" "$work/out.exe"
  [ "$rc" -eq 1 ] || fail "$1: exit $rc, expected 1"
  grep -qF "$2" "$work/refused.err" || fail "$1: no reason '$2' in: $(cat "$work/refused.err")"
  [ "$(cat "$work/out.exe")" = previous ] || fail "$1: OUT was changed"
  ls "$work" | grep -q plpack-tmp && fail "$1: a temporary file was left"
}
refused "$package/manifest.ini" "it is not a Windows (PE) executable"
refused "$work/truncated.exe" "is not a Windows updater of ours"
refused "$work/half.exe" "is cut short"
refused "$work/truncated-headers.exe" "is not a Windows updater of ours"
refused "$work/absent.exe" "cannot read"
if [ -f "$src/build/win/plpack.exe" ]; then
  refused "$src/build/win/plpack.exe" "it has no resources"
fi
# A PE with the package's resources whose version resource is another
# program's is not our updater.
printf '1000 DATA "%s/status.ini"\n1001 DATA "%s/manifest.ini"\n1002 DATA "%s/payload.bin"\n' \
  "$package" "$package" "$package" >"$work/other.rc"
printf '1 VERSIONINFO\nBEGIN\n BLOCK "StringFileInfo"\n BEGIN\n  BLOCK "040904E4"\n  BEGIN\n   VALUE "FileDescription", "Other Tool"\n  END\n END\nEND\n' \
  >>"$work/other.rc"
printf 'void start(void) {}\n' >"$work/start.c"
if x86_64-w64-mingw32-windres "$work/other.rc" -o "$work/other_rc.o" 2>/dev/null &&
  x86_64-w64-mingw32-gcc -nostdlib -s -Wl,-e,start -o "$work/other.exe" "$work/start.c" "$work/other_rc.o"; then
  refused "$work/other.exe" "its version resource does not describe the Pelora Updater"
else
  fail "cannot make a PE with another program's version resource"
fi
run nofolder attach "$updater" "$work/absent" "$work/none.exe"
[ "$rc" -eq 1 ] && [ ! -e "$work/none.exe" ] || fail "a missing package folder: exit $rc"

# release: build, verify, attach and sign in one step; osslsigncode accepts
# the result, which carries the build given.
sample=$src/tests/data/sample
mkdir -p "$work/release"
run release release "$sample/old" "$sample/new" --build 906 --updater "$updater" -o "$work/release/out.exe" \
  --sign-cert "$work/cert.pem" --sign-key "$work/key.pem"
[ "$rc" -eq 0 ] || fail "release: exit $rc: $(cat "$work/release.err")"
osslsigncode verify -CAfile "$work/cert.pem" "$work/release/out.exe" >"$work/verify.out" 2>&1 ||
  fail "osslsigncode does not accept the released updater: $(tail -3 "$work/verify.out")"
"$plpack" inspect "$work/release/out.exe" >"$work/released.out" 2>&1
grep -qx 'Build: 906' "$work/released.out" || fail "the released updater does not carry build 906"
# Its version resource names that build, to plpack inspect and to a reader
# of the resource as Windows lays it out.
if [ "$(pe_version "$updater")" != none ]; then
  grep -qx 'Version resource: Pelora Updater 1.0.0, product Pelora 906' "$work/released.out" ||
    fail "inspect does not show the version resource of build 906: $(grep Version "$work/released.out")"
  [ "$(pe_version "$work/release/out.exe")" = "906.0 906" ] ||
    fail "the version resource says $(pe_version "$work/release/out.exe"), not 906"
fi
grep -q 'installing build 906: [0-9]* entries ([0-9]* patched, [0-9]* replaced, [0-9]* deleted); payload .*; signed, ' "$work/release.out" ||
  fail "the summary does not name build 906 and a signed updater: $(cat "$work/release.out")"
# For scripts: --json prints one JSON object on stdout that agrees with
# the file written and with inspect; --quiet prints nothing there.
run json release "$sample/old" "$sample/new" --build 907 --updater "$updater" -o "$work/release/json.exe" \
  --sign-cert "$work/cert.pem" --sign-key "$work/key.pem" --json
[ "$rc" -eq 0 ] || fail "release --json: exit $rc: $(cat "$work/json.err")"
"$plpack" inspect "$work/release/json.exe" --json >"$work/json-inspect.out" 2>&1
python3 - "$work/json.out" "$work/release/json.exe" "$work/json-inspect.out" <<'PY' || fail "release --json: $(cat "$work/json.out")"
import json, os, sys
lines = open(sys.argv[1]).read().splitlines()
assert len(lines) == 1, "%d lines on stdout" % len(lines)
got = json.loads(lines[0])
inspected = json.load(open(sys.argv[3]))
flags = [e["flag"] for e in inspected["entries"]]
expected = {
    "released": True, "output": sys.argv[2], "build": 907, "signed": True,
    "bytes": os.path.getsize(sys.argv[2]), "payload_bytes": inspected["payload_bytes"],
    "entries": {"total": len(flags), "patched": flags.count(1), "replaced": flags.count(2) + flags.count(4),
                "deleted": flags.count(3)},
    "new_and_changed_bytes": sum(e.get("new_size", 0) for e in inspected["entries"]),
}
for key, value in expected.items():
    assert got[key] == value, "%s is %r, not %r" % (key, got[key], value)
assert got["unsigned_bytes"] < got["bytes"], "the signature added nothing"
assert abs(got["saved_percent"] - 100 * (1 - got["payload_bytes"] / got["new_and_changed_bytes"])) < 0.06
PY
run quiet release "$sample/old" "$sample/new" --build 907 --updater "$updater" -o "$work/release/quiet.exe" \
  --sign-cert "$work/cert.pem" --sign-key "$work/key.pem" --quiet
[ "$rc" -eq 0 ] && [ -f "$work/release/quiet.exe" ] || fail "release --quiet: exit $rc: $(cat "$work/quiet.err")"
[ ! -s "$work/quiet.out" ] || fail "release --quiet printed: $(cat "$work/quiet.out")"
rm -f "$work/release/json.exe" "$work/release/quiet.exe"

# A step that fails leaves neither OUT nor a temporary file.
run badsign release "$sample/old" "$sample/new" --build 906 --updater "$updater" -o "$work/release/bad.exe" \
  --sign-cert "$work/absent.pem" --sign-key "$work/key.pem"
[ "$rc" -eq 1 ] || fail "release with a missing certificate: exit $rc"
[ "$(ls "$work/release")" = out.exe ] || fail "a failed release left files: $(ls "$work/release")"
run badupdater release "$sample/old" "$sample/new" --build 906 --updater "$package/status.ini" -o "$work/release/bad.exe" --json
[ "$rc" -eq 1 ] || fail "release to a non-updater: exit $rc"
grep -qx '{"released": false, "output": ".*/bad.exe", "stopped_at": "attach", "findings": \[\]}' "$work/badupdater.out" ||
  fail "release --json to a non-updater does not say where it stopped: $(cat "$work/badupdater.out")"
[ "$(ls "$work/release")" = out.exe ] || fail "a refused release left files: $(ls "$work/release")"

[ "$failures" -eq 0 ] || exit 1
echo "plpack attach: all checks passed"
