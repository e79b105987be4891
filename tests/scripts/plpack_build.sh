#!/bin/sh
# plpack build makes a package from two generated installations that
# plpack verify (the updater's own file pass) turns OLD into NEW with;
# verify finds every difference a wrong package leaves; build refuses what
# the updater could not apply, naming the file.
# Usage: plpack_build.sh BUILD_DIR SOURCE_DIR
set -u
plpack=$1/plpack
make_installations=$2/tools/make-installations.py
. "$2/tests/support/checks.sh"
expect_rc() {
  [ "$rc" -eq "$2" ] || fail "$1: exit $rc, expected $2; stderr: $(cat "$work/$1.err")"
}
# expect_message NAME TEXT: stderr of NAME holds TEXT
expect_message() {
  grep -qF -- "$2" "$work/$1.err" || fail "$1: no message '$2' in: $(cat "$work/$1.err")"
}

# OLD's Pelora9.exe made to have a byte sum that the updater accepts.
python3 "$make_installations" "$work/old" "$work/new" --exe-sum f9422b19 \
  --dict-old "$work/dict-old" --dict-new "$work/dict-new" || { echo "FAIL: generator" >&2; exit 1; }
dicts="--dict-old $work/dict-old --dict-new $work/dict-new"

# --- The round trip ---------------------------------------------------------
run build build "$work/old" "$work/new" "$work/pkg" --build 821 $dicts --jobs 2
expect_rc build 0
[ ! -s "$work/build.err" ] || fail "build: unexpected messages: $(cat "$work/build.err")"
grep -q 'entries: 26 (12 patched, 9 replaced, 5 deleted); 6 files unchanged' "$work/build.out" ||
  fail "build: summary: $(cat "$work/build.out")"

run verify verify "$work/old" "$work/new" "$work/pkg" $dicts
expect_rc verify 0

# The manifest as the updater reads it: every section's entries in order,
# numbered across sections, compressed files in entry order without the
# deletions; new files in folders that the file pass creates (DATA's GIS
# folders, PSFonts\cmaps); section folders in either letter case.
run manifest manifest "$work/pkg/manifest.ini"
expect_rc manifest 0
tr -s ' ' <"$work/manifest.out" >"$work/manifest.squeezed"
cat >"$work/manifest.expected" <<'END'
Section Entry Flag Destination Compressed file
Core 1 2 Help\whatsnew.htm temp2.cab
Core 2 3 OldTool.dll -
Core 3 1 Pelora9.exe temp3.cab
Core 4 1 PLCore.dll temp4.cab
Core 5 1 ReadMe.txt temp5.cab
Tools 6 2 Blend.dll temp6.cab
Tools 7 3 Legacy.dll -
Tools 8 1 Trace.dll temp7.cab
User 9 2 Blank.txt temp8.cab
User 10 1 Prefs.ini temp9.cab
User 11 2 Shrink.dat temp10.cab
Filters 12 1 PNGIMP.FLT temp11.cab
Dict 13 2 de_DE.dic temp12.cab
Dict 14 1 en_US.dic temp13.cab
Dict 15 3 fr_FR.dic -
Extras 16 3 engineer_valves.MCR -
Extras 17 1 Macros\Shapes.MCR temp14.cab
Color Inks 18 2 INKS.PAL temp15.cab
PlServer 19 1 plserver.cfg temp16.cab
Data 20 2 GIS DATA FILES\CSV\zones.csv temp17.cab
Data 21 1 units.dat temp18.cab
Wizards 22 3 WebWiz\OLDPAGE.TXT -
Wizards 23 1 WebWiz\STARTPAG.TXT temp19.cab
PSFonts 24 2 cmaps\UniJIS.cmap temp20.cab
Symbols 25 1 Base Symbols\Arrows.sym temp21.cab
Symbols 26 2 Flow.sym temp22.cab
TotalFiles: 26
NumFiles add up to 26: 12 patched, 9 replaced, 5 deleted
END
diff "$work/manifest.expected" "$work/manifest.squeezed" >&2 || fail "manifest: listing differs"

# Every record is an SZDD file named by one entry; the build number is in
# the status file.
run inspect inspect "$work/pkg"
expect_rc inspect 0
grep -q '^Build: 821$' "$work/inspect.out" || fail "inspect: no build 821"
grep -q '^Payload: .* 21 records' "$work/inspect.out" || fail "inspect: not 21 records"
grep -q 'not SZDD' "$work/inspect.out" && fail "inspect: a record is not SZDD"
# Flags by name; the download the summary says is saved is the payload's
# size against the new content of the patched and replaced entries.
tr -s ' ' <"$work/inspect.out" | grep -q '^Core 2 3 delete OldTool.dll -' || fail "inspect: no flag name: $(cat "$work/inspect.out")"
tr -s ' ' <"$work/inspect.out" | grep -q '^Core 3 1 patch Pelora9.exe temp3.cab' || fail "inspect: no flag name for a patch"
expected=$(awk -v payload="$(wc -c <"$work/pkg/payload.bin")" '/new content: [0-9]+ bytes/ { carried += $3 }
  END { printf "%.2f MB of payload for %.2f MB of new and changed files: %.2f MB (%.1f%%) saved",
        payload / 1e6, carried / 1e6, (carried - payload) / 1e6, 100 * (1 - payload / carried) }' "$work/inspect.out")
grep -qF "download: $expected" "$work/build.out" || fail "build: the download saved is not '$expected': $(cat "$work/build.out")"

# One job or two: the same package.
run build1 build "$work/old" "$work/new" "$work/pkg1" --build 821 $dicts --jobs 1
expect_rc build1 0
for f in status.ini manifest.ini payload.bin; do
  cmp -s "$work/pkg/$f" "$work/pkg1/$f" || fail "--jobs 1 and --jobs 2 give different $f"
done

# Without dictionary folders the Dict section stays empty, and the package
# still verifies; verify refuses to judge a package with Dict entries
# without them.
run nodict build "$work/old" "$work/new" "$work/pkg-nodict" --build 821
expect_rc nodict 0
run nodict-verify verify "$work/old" "$work/new" "$work/pkg-nodict"
expect_rc nodict-verify 0
run dict-missing verify "$work/old" "$work/new" "$work/pkg"
expect_rc dict-missing 1
expect_message dict-missing "give --dict-old and --dict-new"

# --- verify finds what a wrong package leaves behind ------------------------
cp -r "$work/new" "$work/other"
printf 'changed' >>"$work/other/Pelora Tools/Trace.dll"
printf 'added' >"$work/other/User/Extra.txt"
rm "$work/other/PSFonts/cmaps/UniJIS.cmap"
run mismatch verify "$work/old" "$work/other" "$work/pkg" $dicts
expect_rc mismatch 1
sort "$work/mismatch.out" >"$work/mismatch.sorted"
cat >"$work/mismatch.expected" <<'END'
differs: Pelora Tools\Trace.dll
missing: User\Extra.txt
unexpected: PSFonts\cmaps\UniJIS.cmap
END
diff "$work/mismatch.expected" "$work/mismatch.sorted" >&2 || fail "mismatch: differences listed wrong"
expect_message mismatch "3 differences"

# A payload damaged after the build: the patch's checksum catches it, the
# entry fails and the file keeps its old content.
cp -r "$work/pkg" "$work/damaged"
python3 - "$work/damaged/payload.bin" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
# The last byte of the third record, PLCore.dll's patch (the records are
# Help\whatsnew.htm, Pelora9.exe, PLCore.dll in the order of the entries).
end = 0
for _ in range(3):
    end += 4 + int.from_bytes(data[end:end + 4], "little")
data[end - 1] ^= 0x55
open(path, "wb").write(data)
PY
run damaged verify "$work/old" "$work/new" "$work/damaged" $dicts
cp "$work/damaged.out" /tmp/damaged.out; cp "$work/damaged.err" /tmp/damaged.err
expect_rc damaged 1
grep -qx 'differs: PLCore.dll' "$work/damaged.out" || fail "damaged: PLCore.dll not reported: $(cat "$work/damaged.out")"
# The failed entry is named with the reason, not only the updater's box.
grep -qxF 'failed: PLCore.dll (entry 4, Core): the new content is not in place; the updater said: The patch was not applied successfully, because of a checksum error' \
  "$work/damaged.out" || fail "damaged: the failed entry is not named: $(cat "$work/damaged.out")"
grep -q 'Pelora Updater:' "$work/damaged.err" && fail "damaged: the updater's message box was printed: $(cat "$work/damaged.err")"
expect_message damaged "1 entry of the package failed"

# A file cut to the low 32 bits of its size differs: OLD holds one zero
# byte, NEW the same name at 4 GiB and one byte of zeros (sparse).
cp -r "$work/old" "$work/old-cut"
cp -r "$work/new" "$work/new-cut"
head -c 1 /dev/zero >"$work/old-cut/Help/Cut.dat"
truncate -s 4294967297 "$work/new-cut/Help/Cut.dat"
run cut verify "$work/old-cut" "$work/new-cut" "$work/pkg" $dicts
expect_rc cut 1
grep -qxF 'differs: Help\Cut.dat' "$work/cut.out" || fail "cut: Help\Cut.dat not reported: $(cat "$work/cut.out")"
rm -rf "$work/old-cut"

# --- What build refuses, each with the file named ---------------------------
# refuse NAME MESSAGE OLD NEW [ARGS...]: exit 1, MESSAGE, and no package
refuse() {
  name=$1 message=$2
  shift 2
  run "$name" build "$@"
  expect_rc "$name" 1
  expect_message "$name" "$message"
  [ ! -e "$work/refused" ] || fail "$name: a package was written"
  rm -rf "$work/refused"
}
refuse no-old "OLD folder" "$work/absent" "$work/new" "$work/refused" --build 1
refuse no-new "NEW folder" "$work/old" "$work/absent" "$work/refused" --build 1
refuse same "nothing to update" "$work/old" "$work/old" "$work/refused" --build 1
# A file the formats cannot carry, new or changed: refused by name.
refuse huge 'new-cut/Help/Cut.dat is 4 GiB or larger' "$work/old" "$work/new-cut" "$work/refused" --build 1
rm -rf "$work/new-cut"

cp -r "$work/new" "$work/bad"
mkdir -p "$work/bad/Pelora Tools/Plugins"
printf 'x' >"$work/bad/Pelora Tools/Plugins/New.dll"
refuse new-folder "Pelora Tools/Plugins/New.dll is in the folder Pelora Tools\\Plugins, which OLD lacks" \
  "$work/old" "$work/bad" "$work/refused" --build 1
rm -r "$work/bad/Pelora Tools/Plugins"

printf 'x' >"$work/bad/readme.TXT"
refuse letter-case "differ only in letter case" "$work/old" "$work/bad" "$work/refused" --build 1
rm "$work/bad/readme.TXT"

long=$(printf '%0250d' 0)
mkdir -p "$work/bad/Help/$long"
printf 'x' >"$work/bad/Help/$long/a.txt"
refuse long-name "the updater reads at most 254" "$work/old" "$work/bad" "$work/refused" --build 1
rm -r "$work/bad/Help/$long"

# Files in a folder OLD lacks are told once for the folder.
mkdir -p "$work/bad/Plugins"
printf 'x' >"$work/bad/Plugins/a.dll"
printf 'x' >"$work/bad/Plugins/b.dll"
refuse new-folders "a.dll and 1 more file are in the folder Plugins, which OLD lacks" \
  "$work/old" "$work/bad" "$work/refused" --build 1
rm -r "$work/bad/Plugins"

# The manifest counts at most 32766 entries: the updater's entry counter is
# a signed 16-bit number that ends one past the last entry.
mkdir -p "$work/few/User" "$work/many/User"
python3 -c 'import sys
for i in range(32767): open("%s/f%05d" % (sys.argv[1], i), "w").close()' "$work/many/User"
refuse too-many "the update has 32767 entries; a manifest holds at most 32766" \
  "$work/few" "$work/many" "$work/refused" --build 1
rm "$work/many/User/f00000"
run most build "$work/few" "$work/many" "$work/most" --build 1
expect_rc most 0
grep -q '^TotalFiles=32766' "$work/most/manifest.ini" || fail "most: TotalFiles is not 32766"

# --- Names in the updater's code page --------------------------------------
# NEW's UTF-8 names are written in Windows-1252, which the updater's ANSI
# calls take; a name the code page cannot spell is refused by name; a
# code page named with --code-page is used by build and verify alike.
cp -r "$work/new" "$work/named"
printf 'bonjour' >"$work/named/User/café.dat"
run cafe build "$work/old" "$work/named" "$work/pkg-cafe" --build 1
expect_rc cafe 0
grep -q "$(printf 'Dest=caf\351.dat\r')" "$work/pkg-cafe/manifest.ini" ||
  fail "cafe: the manifest does not name caf\351.dat in Windows-1252"
run cafe-verify verify "$work/old" "$work/named" "$work/pkg-cafe"
expect_rc cafe-verify 0
refuse cafe-1251 "named/User/caf?.dat: its name has characters that Windows-1251 cannot spell" \
  "$work/old" "$work/named" "$work/refused" --build 1 --code-page 1251
printf 'x' >"$work/named/User/日本.dat"
refuse outside-1252 "named/User/??.dat: its name has characters that Windows-1252 cannot spell" \
  "$work/old" "$work/named" "$work/refused" --build 1
rm "$work/named/User/日本.dat" "$work/named/User/café.dat"
printf 'x' >"$work/named/User/ёж.dat"
run cyrillic build "$work/old" "$work/named" "$work/pkg-1251" --build 1 --code-page 1251
expect_rc cyrillic 0
grep -q "$(printf 'Dest=\270\346.dat\r')" "$work/pkg-1251/manifest.ini" ||
  fail "cyrillic: the manifest does not name the file in Windows-1251"
run cyrillic-verify verify "$work/old" "$work/named" "$work/pkg-1251" --code-page 1251
expect_rc cyrillic-verify 0
# Read in the wrong code page, the name is another file's.
run cyrillic-1252 verify "$work/old" "$work/named" "$work/pkg-1251"
expect_rc cyrillic-1252 1
grep -q '^missing: User\\' "$work/cyrillic-1252.out" || fail "cyrillic-1252: no missing file: $(cat "$work/cyrillic-1252.out")"
rm -rf "$work/named"

# --- Where the package goes ------------------------------------------------
# Never into what it is built from, never over files that are not a
# package; an earlier package is replaced as a whole.
cp -r "$work/new" "$work/no-exe"
rm "$work/no-exe/Pelora9.exe"
refuse no-exe "has no Pelora9.exe" "$work/old" "$work/no-exe" "$work/refused" --build 1
rm -r "$work/no-exe"
cp -r "$work/new" "$work/new-copy"
for out in "$work/new-copy" "$work/new-copy/pkg" "$work/new-copy/./User/../pkg"; do
  run inside build "$work/old" "$work/new-copy" "$out" --build 1
  expect_rc inside 1
  expect_message inside "inside the NEW folder"
done
ln -s "$work/new-copy/User" "$work/link-to-new"
run inside-link build "$work/old" "$work/new-copy" "$work/link-to-new/pkg" --build 1
expect_rc inside-link 1
expect_message inside-link "inside the NEW folder"
diff -r "$work/new" "$work/new-copy" >&2 || fail "inside: NEW was changed"
rm -rf "$work/new-copy" "$work/link-to-new"

mkdir "$work/occupied"
printf 'keep' >"$work/occupied/notes.txt"
run occupied build "$work/old" "$work/new" "$work/occupied" --build 1
expect_rc occupied 1
expect_message occupied "holds notes.txt, which is not part of a package"
[ "$(ls "$work/occupied")" = notes.txt ] || fail "occupied: the folder was changed: $(ls "$work/occupied")"
printf 'x' >"$work/a-file"
run out-file build "$work/old" "$work/new" "$work/a-file" --build 1
expect_rc out-file 1
expect_message out-file "is a file, not a folder"

# An earlier package is replaced whole: a file it held that the new one
# does not is gone, and no folder is left beside it.
cp -r "$work/pkg-nodict" "$work/replaced"
printf 'stale' >"$work/replaced/payload.bin"
rm "$work/replaced/status.ini"
run replace build "$work/old" "$work/new" "$work/replaced" --build 821
expect_rc replace 0
for f in status.ini manifest.ini payload.bin; do
  cmp -s "$work/pkg-nodict/$f" "$work/replaced/$f" || fail "replace: $f is not the new package's"
done
ls "$work" | grep -q plpack- && fail "build left a folder beside its output: $(ls "$work" | grep plpack-)"

# A write that fails part way (a disk too small for the payload) leaves
# no package and nothing beside it, and an earlier package as it was.
disk=$work/disk
mkdir "$disk"
trap 'umount "$disk" 2>/dev/null; rm -rf "$work"' EXIT
if mount -t tmpfs -o size=16k tmpfs "$disk" 2>/dev/null; then
  mkdir "$disk/pkg" && cp "$work/pkg/status.ini" "$disk/pkg/"
  run full-disk build "$work/old" "$work/new" "$disk/pkg" --build 900
  expect_rc full-disk 1
  expect_message full-disk "cannot write payload.bin of the package"
  expect_message full-disk "No space left on device"
  [ "$(ls "$disk/pkg")" = status.ini ] && cmp -s "$disk/pkg/status.ini" "$work/pkg/status.ini" ||
    fail "full-disk: the earlier package was changed: $(ls "$disk/pkg")"
  ls "$disk" | grep -q plpack- && fail "full-disk: left $(ls "$disk" | grep plpack-)"
  umount "$disk"
else
  echo "plpack_build: no tmpfs (not root): the full-disk case is not run"
fi

printf '[Status]\r\nCurStat=3\r\n' >"$work/stale.ini"
refuse stale-status "[Status] section" "$work/old" "$work/new" "$work/refused" --status "$work/stale.ini"
refuse no-build "no build number" "$work/old" "$work/new" "$work/refused"
printf '[Build]\r\nversion=abc\r\n' >"$work/bad-version.ini"
refuse bad-version "version=abc, which is not a build number" "$work/old" "$work/new" "$work/refused" \
  --status "$work/bad-version.ini"

# A template's build number and release data are kept.
printf '[Build]\r\nversion=900\r\n[Params]\r\nDownloadUrl=x\r\n' >"$work/template.ini"
run template build "$work/old" "$work/new" "$work/pkg-template" --status "$work/template.ini"
expect_rc template 0
grep -q '^version=900' "$work/pkg-template/status.ini" || fail "template: build number lost"
grep -q '^DownloadUrl=x' "$work/pkg-template/status.ini" || fail "template: release data lost"

# OLD's executable with a byte sum the updater does not take: a warning.
# The slot filled by the caller: NEW's executable is an edited copy.
printf 'not a known build' >"$work/unknown.exe"
python3 "$make_installations" "$work/old2" "$work/new2" --exe "$work/unknown.exe" --exe-sum none --size 64 ||
  fail "generator with --exe, --exe-sum none and --size 64"
cmp -s "$work/unknown.exe" "$work/old2/Pelora9.exe" || fail "generator: --exe not copied into OLD"
run unknown build "$work/old2" "$work/new2" "$work/pkg2" --build 1
expect_rc unknown 0
expect_message unknown "which is not one the updater accepts"
# By default the generator makes OLD's executable (its own or --exe's) one
# the updater accepts, as a real build's: no warning.
for exe in "" "--exe $work/unknown.exe"; do
  rm -rf "$work/old3" "$work/new3" "$work/pkg3"
  python3 "$make_installations" "$work/old3" "$work/new3" $exe --size 64 || fail "generator $exe"
  run accepted build "$work/old3" "$work/new3" "$work/pkg3" --build 1
  expect_rc accepted 0
  grep -q "updater accepts" "$work/accepted.err" && fail "generator $exe: OLD's executable not accepted: $(cat "$work/accepted.err")"
done

# --quiet prints nothing but errors (the warning about OLD2's executable and
# the progress included); --json prints one JSON object on stdout. NEW2b
# differs from NEW2 in one file, which verify names. Case:
# EXIT | STDOUT (json: parses, and holds WORDS; empty; or WORDS) | WORDS | ARGS
cp -r "$work/new2" "$work/new2b" && printf 'x' >>"$work/new2b/ReadMe.txt"
while IFS='|' read -r code out words args; do
  code=$(echo $code) out=$(echo $out) words=$(echo $words) args=$(echo "$args" | sed "s|@|$work|g")
  # shellcheck disable=SC2086
  run mode $args
  expect_rc mode "$code"
  case $out in
    json) python3 -m json.tool "$work/mode.out" >/dev/null || fail "$args: not one JSON object: $(cat "$work/mode.out")"
          grep -qF -- "$words" "$work/mode.out" || fail "$args: no '$words' in: $(cat "$work/mode.out")" ;;
    empty) [ ! -s "$work/mode.out" ] || fail "$args: printed: $(cat "$work/mode.out")" ;;
    *) grep -qF -- "$words" "$work/mode.out" || fail "$args: no '$words' in: $(cat "$work/mode.out")" ;;
  esac
  case "$code $args" in
    "0 "*--quiet*) [ ! -s "$work/mode.err" ] || fail "$args: wrote to stderr: $(cat "$work/mode.err")" ;;
  esac
done <<'END'
0 | empty |                                  | build @/old2 @/new2 @/pkg-quiet --build 1 --quiet
0 | json  | "entries": {"total": 23,         | build @/old2 @/new2 @/pkg-json --build 1 --json
0 | json  | "new_and_changed_bytes":         | build @/old2 @/new2 @/pkg-json --build 1 --json
0 | empty |                                  | verify @/old2 @/new2 @/pkg-json --quiet
0 | json  | {"ok": true, "failed_entries": 0, "differences": 0, "findings": []} | verify @/old2 @/new2 @/pkg-json --json
1 | words | differs: ReadMe.txt              | verify @/old2 @/new2b @/pkg-json --quiet
1 | json  | {"ok": false, "failed_entries": 0, "differences": 1, "findings": ["differs: ReadMe.txt"]} | verify @/old2 @/new2b @/pkg-json --json
END

# On a terminal (script gives standard error one), build shows its
# progress there: the last line has every file done and all of NEW's
# megabytes, as the summary counts them, out of as many; standard output
# still holds the JSON object alone. --quiet shows no progress.
# OLD and NEW of some 100 KB each, with a changed, a new and an unchanged
# file, so that the tenths of a MB tell NEW's bytes from others.
if command -v script >/dev/null; then
  mkdir -p "$work/old-tty" "$work/new-tty"
  head -c 300000 /dev/urandom >"$work/old-tty/Data.bin"
  { head -c 200000 "$work/old-tty/Data.bin"; head -c 150000 /dev/urandom; } >"$work/new-tty/Data.bin"
  head -c 250000 /dev/urandom >"$work/new-tty/Added.bin"
  for side in old new; do head -c 120000 /dev/zero >"$work/$side-tty/Pelora9.exe"; done
  for mode in json quiet; do
    rm -rf "$work/pkg-tty"
    script -qec "'$plpack' build '$work/old-tty' '$work/new-tty' '$work/pkg-tty' --build 1 --$mode >'$work/tty.out'" \
      "$work/tty.log" >/dev/null || fail "build --$mode on a terminal: $(cat "$work/tty.log")"
    last=$(tr '\r' '\n' <"$work/tty.log" | grep 'files, ' | tail -1 | tr -d '\n')
    if [ "$mode" = quiet ]; then
      [ -z "$last" ] || fail "build --quiet on a terminal shows its progress: $last"
      continue
    fi
    mb=$(python3 -c 'import json, sys; print("%.1f" % (json.load(open(sys.argv[1]))["new_bytes"] / 1e6))' "$work/tty.out") ||
      fail "build --json on a terminal: not one JSON object on stdout: $(cat "$work/tty.out")"
    echo "$last" | grep -qE "^plpack: ([0-9]+) of \1 files, $mb of $mb MB\$" ||
      fail "the progress line ends at '$last', not every file and $mb of $mb MB"
  done
else
  echo "plpack build: no script command; the progress line is not checked"
fi

for args in "build" "build $work/old $work/new" "build $work/old $work/new $work/x --jobs 0" \
  "build $work/old $work/new $work/x --dict-old $work/old" "verify $work/old $work/new" "build $work/old $work/new $work/x --bogus"; do
  run usage $args
  expect_rc usage 2
done

# A damaged manifest: plpack manifest names what makes the updater refuse it.
sed 's/^NumFiles=.*/NumFiles=2000000000/' "$work/pkg/manifest.ini" >"$work/damaged.ini"
run damaged manifest "$work/damaged.ini"
expect_rc damaged 1
expect_message damaged "the updater refuses the package: [Core] NumFiles is 2000000000, not a count from 0 to"

[ "$failures" -eq 0 ] || exit 1
echo "plpack build and verify: all checks passed"
