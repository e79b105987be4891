#!/bin/bash
# Packages built by plpack and then damaged: a flipped byte in a compressed
# file, an SZDD length field cut short, two CAB names swapped. plpack verify
# applies each with the updater's own file pass to a copy of OLD, and the
# result must be NEW except that every damaged entry's target stayed as it
# was in OLD (or absent), with the entry failed and named. A package
# applied over NEW (a second run) changes nothing and fails nothing.
# Usage: damaged_packages.sh BUILD_DIR SOURCE_DIR
set -u
plpack=$1/plpack
. "$2/tests/support/checks.sh"
python3 "$2/tools/make-installations.py" "$work/old" "$work/new" --size 400000 >/dev/null ||
  { echo "FAIL: generator" >&2; exit 1; }
run build build "$work/old" "$work/new" "$work/pkg" --build 821 --jobs 1
[ "$rc" = 0 ] || { echo "FAIL: build: $(cat "$work/build.err")" >&2; exit 1; }
grep -q '^File1SHA256=[0-9a-f]\{64\}' "$work/pkg/manifest.ini" || fail "build wrote no File1SHA256"

# inspect shows each new content's size and digest.
run inspect inspect "$work/pkg"
digest=$(sha256sum "$work/new/PLCore.dll" | cut -d' ' -f1) size=$(stat -c %s "$work/new/PLCore.dll")
grep -qE "^ +new content: $size bytes, SHA-256 $digest\$" "$work/inspect.out" ||
  fail "inspect: no size and digest of PLCore.dll: $(cat "$work/inspect.out")"

# cab_of DEST: the CAB name of the [Core] entry whose destination is DEST.
cab_of() {
  local n
  n=$(tr -d '\r' <"$work/pkg/manifest.ini" | DEST=$1 awk -F= \
    '$2 == ENVIRON["DEST"] && $1 ~ /^File[0-9]+Dest$/ { sub(/^File/, "", $1); sub(/Dest$/, "", $1); print $1; exit }')
  tr -d '\r' <"$work/pkg/manifest.ini" | grep -m1 "^File${n}CAB=" | cut -d= -f2
}
# damage CASE PYTHON: a copy of the package as bad-CASE, with the python
# code run on `payload` (a bytearray) and `manifest` (a str); `offset(cab)`
# is where that CAB's record content starts in the payload.
damage() {
  rm -rf "$work/bad-$1" && cp -r "$work/pkg" "$work/bad-$1"
  python3 - "$work/bad-$1" "$2" <<'PY'
import sys
folder, code = sys.argv[1], sys.argv[2]
payload = bytearray(open(folder + "/payload.bin", "rb").read())
manifest = open(folder + "/manifest.ini", newline="").read()
def offset(cab):
    at, index = 0, int(cab[4:-4]) - 2
    for _ in range(index):
        at += 4 + int.from_bytes(payload[at:at + 4], "little")
    return at + 4
exec(code)
open(folder + "/payload.bin", "wb").write(payload)
open(folder + "/manifest.ini", "w", newline="").write(manifest)
PY
}
# expect_kept CASE FAILED DEST...: verify of bad-CASE fails FAILED entries
# and gives NEW but for each DEST, which stays as in OLD.
expect_kept() {
  local name=$1 failed=$2 dest rel
  shift 2
  rm -rf "$work/expected" && cp -r "$work/new" "$work/expected"
  for dest in "$@"; do
    rel=$(printf '%s' "$dest" | tr '\\' /)
    rm -f "$work/expected/$rel"
    [ -f "$work/old/$rel" ] && cp "$work/old/$rel" "$work/expected/$rel"
  done
  run "$name" verify "$work/old" "$work/expected" "$work/bad-$name"
  [ "$rc" = 1 ] || fail "$name: exit $rc, expected 1"
  grep -qE '^(missing|differs|unexpected)' "$work/$name.out" &&
    fail "$name: the installation is not NEW with the damaged targets as they were: $(cat "$work/$name.out")"
  grep -qF "plpack: $failed entr" "$work/$name.err" || fail "$name: not $failed failed entries: $(cat "$work/$name.err")"
  for dest in "$@"; do
    grep -qF "failed: $dest (entry " "$work/$name.out" || fail "$name: $dest is not named as failed: $(cat "$work/$name.out")"
  done
  grep -qF "the package does not turn OLD into NEW" "$work/$name.err" &&
    fail "$name: verify found differences: $(cat "$work/$name.err")"
}

new_file=$(cab_of 'Help\whatsnew.htm') core=$(cab_of PLCore.dll) readme=$(cab_of ReadMe.txt)
damage flipped "payload[offset('$new_file') + 5000] ^= 0x10"
expect_kept flipped 1 'Help\whatsnew.htm'
grep -qF 'failed: Help\whatsnew.htm (entry 1, Core): the new content is not in place; the updater said: The new content of Help\whatsnew.htm is not what the update package says it must be' "$work/flipped.out" ||
  fail "flipped: no finding naming the file: $(cat "$work/flipped.out")"
damage cut_length "o = offset('$new_file') + 10; payload[o:o + 4] = (1000).to_bytes(4, 'little')"
expect_kept cut_length 1 'Help\whatsnew.htm'
damage swapped "manifest = manifest.replace('CAB=$core', 'CAB=@').replace('CAB=$readme', 'CAB=$core').replace('CAB=@', 'CAB=$readme')"
expect_kept swapped 2 PLCore.dll ReadMe.txt
damage flipped_patch "payload[offset('$core') + 40] ^= 0x01"
expect_kept flipped_patch 1 PLCore.dll

# Applied over what it installs: every entry is already done.
run twice verify "$work/new" "$work/new" "$work/pkg"
[ "$rc" = 0 ] || fail "twice: exit $rc: $(cat "$work/twice.out" "$work/twice.err")"

[ $failures = 0 ] && echo "damaged_packages: all passed" || echo "damaged_packages: $failures failed"
[ $failures = 0 ]
