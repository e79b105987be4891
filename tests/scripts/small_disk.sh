#!/bin/bash
# The sample update on an installation whose disk is too small for its new
# files (a small tmpfs): a message naming the drive and the room needed,
# CurStat=4 with ErrorCode=40004, and the installation as it was. The same
# on a disk with room goes through. Needs root for the mounts; skipped
# (exit 77) without.
# Usage: small_disk.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
updater=$build/tests/e2e_updater plapp=$build/tests/plapp sample=$src/tests/data/sample
work=$(mktemp -d)
disk=$work/disk
mkdir -p "$disk"
trap 'umount "$disk" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

export TMPDIR=$work/tmp PLUPDATE_SYNC_DIR=$work/sync PLUPDATE_REGISTRY=$work/registry.reg
mkdir -p "$TMPDIR" "$PLUPDATE_SYNC_DIR"
inst=$disk/inst app=$disk/inst/Pelora\ 9
exe=$(winpath "$app/Pelora9.exe" | sed 's/\\/\\\\/g')
dict=$(winpath "$inst/Dictionaries" | sed 's/\\/\\\\/g')
cat >"$PLUPDATE_REGISTRY" <<REG
Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\\Applications\\pelora9.exe\\shell\\open\\command]
@="\\"$exe\\" \\"%1\\""

[HKEY_LOCAL_MACHINE\\Software\\Ostrand\\Pelora 8\\Dictionaries]
"Dict_Dir"="$dict"
REG

# on_disk SIZE: a fresh installation of the old release on a tmpfs of SIZE.
on_disk() {
  umount "$disk" 2>/dev/null
  mount -t tmpfs -o "size=$1" tmpfs "$disk" || { echo "small_disk: cannot mount a tmpfs; skipped"; exit 77; }
  cp -r "$work/old" "$inst"
  rm -rf "$TMPDIR/PLUpdate"
}
status() { tr -d '\r' <"$TMPDIR/PLUpdate/PLUpdate.ini" | sed -n '/^\[Status\]/,/^\[/p' | grep -E '^(CurStat|ErrorCode)=' | tr '\n' ' '; }
[ "$(id -u)" = 0 ] || { echo "small_disk: not root; skipped"; exit 77; }
cp -r "$sample/old" "$work/old"
python3 "$src/tools/accepted_exe.py" "$plapp" "$work/old/Pelora 9/Pelora9.exe" >/dev/null
# Room for the old release and 24 KiB more: less than the new files need.
on_disk "$(($(du -sk "$work/old" | cut -f1) + 24))k"
"$updater" -s >"$work/small.out" 2>&1
grep -qE "^Pelora Updater: There is not enough room on drive Z: to update Pelora in .*: [0-9]+ MB are needed and [0-9]+ MB are free\. Nothing was changed\.$" "$work/small.out" ||
  fail "small disk: no message naming the drive and the room: $(cat "$work/small.out")"
[ "$(status)" = "CurStat=4 ErrorCode=40004 " ] || fail "small disk: status \"$(status)\""
diff -r "$sample/old" "$inst" -x Pelora9.exe >/dev/null || fail "small disk: the installation changed: $(diff -rq "$sample/old" "$inst" -x Pelora9.exe)"
[ -z "$(find "$inst" -name '*.~plu*')" ] || fail "small disk: staging files left"

on_disk "$(($(du -sk "$work/old" | cut -f1) + 4096))k"
"$updater" -s >"$work/room.out" 2>&1
[ -s "$work/room.out" ] && fail "disk with room: $(cat "$work/room.out")"
[ "$(status)" = "CurStat=3 " ] || fail "disk with room: status \"$(status)\""
differences=$(python3 "$src/tools/same_installation.py" "$sample/new" "$inst" 2>&1 | grep -viE 'pelora9.exe|^installation: (identical|differs)')
[ -z "$differences" ] || fail "disk with room: not the new release: $differences"

[ $failures = 0 ] && echo "small_disk: all passed" || echo "small_disk: $failures failed"
[ $failures = 0 ]
