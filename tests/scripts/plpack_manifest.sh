#!/bin/sh
# plpack manifest: the listing of a consistent manifest, and the problems
# of manifests with a fault of each kind.
# Usage: plpack_manifest.sh BUILD_DIR SOURCE_DIR
set -u
plpack=$1/plpack
data=$2/tests/data
. "$2/tests/support/checks.sh"

# expect_lines NAME FILE: every line of stdin appears in FILE, once
expect_lines() {
  while IFS= read -r line; do
    n=$(grep -cxF -- "$line" "$2")
    [ "$n" -eq 1 ] || fail "$1: expected once, found $n times: $line"
  done
}

# The package's manifest: every entry in processing order, whatever the
# order of its sections in the file.
run package manifest "$data/package_manifest.ini"
[ "$rc" -eq 0 ] || fail "package manifest: exit $rc, expected 0"
[ ! -s "$work/package.err" ] || fail "package manifest: unexpected messages: $(cat "$work/package.err")"
tr -s ' ' <"$work/package.out" >"$work/package.squeezed"
cat >"$work/package.expected" <<'END'
Section Entry Flag Destination Compressed file
Core 1 1 Pelora9.exe temp2.cab
Core 2 2 PLCore.dll temp3.cab
Core 3 4 Pelora.tlb temp4.cab
Filters 4 2 PNGIMP.FLT temp5.cab
Extras 5 3 engineer_valves.MCR -
Extras 6 2 Macros\Shapes.MCR temp6.cab
Color Inks 7 1 INKS.PAL temp7.cab
Wizards 8 2 WebWiz\STARTPAG.TXT temp8.cab
Wizards 9 3 WebWiz\OLDPAGE.TXT -
Symbols 10 4 Arrows.sym temp9.cab
TotalFiles: 10
NumFiles add up to 10: 2 patched, 6 replaced, 2 deleted
END
diff "$work/package.expected" "$work/package.squeezed" >&2 || fail "package manifest: listing differs"

# One fault of each kind, each reported with its section and entry.
run faulty manifest "$data/manifest_inconsistent.ini"
[ "$rc" -eq 1 ] || fail "inconsistent manifest: exit $rc, expected 1"
sed 's/^plpack: //' "$work/faulty.err" >"$work/faulty.messages"
expect_lines "inconsistent manifest" "$work/faulty.messages" <<'END'
[Core] entry 2: File2Flag is missing
[Core] entry 3: flag 5 is not one of 1-4; the updater does nothing with it
[Core] entry 7 (File7Flag, File7Dest, File7CAB) lies outside the section: its entries are 1-3
[Filters] entry 4: flag 2 needs a compressed file, but File4CAB is missing or empty
[Filters] entry 5: compressed file TEMP2.CAB is already the one of [Core] entry 1
[Filters] key File5Dset is not one the updater reads
[General] TotalFiles is 9, but the sections' NumFiles add up to 5
the updater refuses the package: its sections' NumFiles add up to 5, but TotalFiles is 9
END
grep -q ': 8 problems found$' "$work/faulty.messages" || fail "inconsistent manifest: not 8 problems"

# Faults of a second kind: no TotalFiles, an entry in a section without
# entries, texts the updater would cut, a key given twice.
long=$(printf '%0300d' 0)
printf '[Core]\r\nNumFiles=1\r\nFile1Flag=2\r\nFile1Dest=%s\r\nFile1CAB=%s\r\nfile1flag=3\r\n[Dict]\r\nFile2Flag=3\r\n' \
  "$long" "$long" >"$work/second.ini"
run second manifest "$work/second.ini"
[ "$rc" -eq 1 ] || fail "second manifest: exit $rc, expected 1"
sed 's/^plpack: //' "$work/second.err" >"$work/second.messages"
expect_lines "second manifest" "$work/second.messages" <<'END'
[Core] entry 1: File1Dest has 300 characters; the updater keeps only the first 254
[Core] entry 1: File1CAB has 300 characters; the updater keeps only the first 254
[Core] key file1flag appears more than once; the updater reads only the first
[Dict] entry 2 (File2Flag) lies outside the section: the section has no entries
[General] TotalFiles is missing; the updater would find no files in the update
END

# Usage and unreadable files.
run none manifest
[ "$rc" -eq 2 ] || fail "no FILE: exit $rc, expected 2"
run extra manifest "$data/package_manifest.ini" more
[ "$rc" -eq 2 ] || fail "extra argument: exit $rc, expected 2"
run missing manifest "$work/absent.ini"
[ "$rc" -eq 1 ] || fail "missing file: exit $rc, expected 1"
grep -q 'cannot read' "$work/missing.err" || fail "missing file: no message"

[ "$failures" -eq 0 ] || exit 1
echo "plpack manifest: all checks passed"
