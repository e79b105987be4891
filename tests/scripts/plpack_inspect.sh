#!/bin/bash
# plpack inspect reads the package linked into a built program (the package
# tests' program carries tests/data/split-package) exactly as it reads the
# package folder itself, and says why other files carry none.
# Usage: plpack_inspect.sh BUILD_DIR SOURCE_DIR
set -u
plpack=$1/plpack
program=$1/tests/test_package
package=$2/tests/data/split-package
. "$2/tests/support/checks.sh"

"$plpack" inspect "$package" >"$work/folder.out" 2>"$work/folder.err"
folder_rc=$?
"$plpack" inspect "$program" >"$work/program.out" 2>"$work/program.err"
program_rc=$?
[ "$program_rc" -eq "$folder_rc" ] || fail "exit $program_rc for the program, $folder_rc for the folder"
# The listings agree but for the line that names what was inspected.
grep -v '^Package folder ' "$work/folder.out" >"$work/folder.listing"
grep -v -e '^Updater ' -e '^Version resource: ' "$work/program.out" >"$work/program.listing"
diff "$work/folder.listing" "$work/program.listing" >&2 || fail "the program's package is listed differently"
# The fixture's records: 12, 0 and 300 bytes; its manifest names none of them.
for line in 'Build: 820' 'status.ini: 46 bytes' 'Record temp3.cab (0 bytes) is named by no entry' \
  'Payload: 324 bytes, 3 records holding 312 bytes'; do
  grep -qxF "$line" "$work/program.listing" || fail "no line: $line"
done

# Of an updater, also its size, the relaunch command of its status file and
# the builds it accepts. Case: PROGRAM|LINE.
updater=$1/tests/e2e_updater
accepted="Updater accepts 11 builds, Pelora9.exe byte sums: f943af14 f9414f95 f9422b19 f9b543c2 f9e72c44 f95827bc f99b1204 fdfd2fa8 f9b53db8 f97932c4 f9795790 (5 free slots)"
while IFS='|' read -r exe line; do
  line=${line//SIZE/$(wc -c <"$exe" | tr -d ' ')}
  "$plpack" inspect "$exe" >"$work/updater.out" 2>&1
  grep -qxF "$line" "$work/updater.out" || fail "$exe: no line: $line; $(cat "$work/updater.out")"
done <<EOF
$program|Updater size: SIZE bytes
$program|Updater relaunch command: (none: the status file has no [General] Command)
$program|$accepted
$updater|Updater size: SIZE bytes
$updater|Updater relaunch command: Pelora9.exe /updated
$updater|$accepted
EOF

# --json: one object, holding what the table holds. The program's and the
# folder's agree but for what names the source; the updater's carries the
# sample package (15 entries, all matched by records) and its relaunch.
for source in "$package" "$program" "$updater"; do
  "$plpack" inspect "$source" --json >"$work/inspect.json" 2>/dev/null
  python3 -m json.tool "$work/inspect.json" >/dev/null || fail "$source --json: not one JSON object: $(cat "$work/inspect.json")"
done
"$plpack" inspect "$package" --json >"$work/folder.json" 2>/dev/null
"$plpack" inspect "$program" --json >"$work/program.json" 2>/dev/null
"$plpack" inspect "$updater" --json >"$work/updater.json" 2>/dev/null
python3 - "$work/folder.json" "$work/program.json" "$work/updater.json" <<'PY' || fail "inspect --json: the objects do not hold what the tables hold"
import json, sys
folder, program, updater = (json.load(open(p)) for p in sys.argv[1:])
assert folder["build"] == "820" and folder["problems"] == 3, folder
assert [r["bytes"] for r in folder["records"]] == [12, 0, 300], folder
for key in ("package_folder",):
    folder.pop(key)
for key in ("updater", "updater_bytes", "relaunch_command", "accepted_byte_sums"):
    program.pop(key)
assert folder == program, (folder, program)
assert updater["relaunch_command"] == "Pelora9.exe /updated" and len(updater["accepted_byte_sums"]) == 11, updater
assert len(updater["entries"]) == updater["total_files"] == 15 and updater["problems"] == 0, updater
assert all(r["named"] for r in updater["records"]), updater
PY

# The Windows build's program carries the same package as DATA resources.
windows_program=$2/build/win/tests/test_package.exe
if [ -f "$windows_program" ]; then
  "$plpack" inspect "$windows_program" >"$work/windows.out" 2>"$work/windows.err"
  [ $? -eq "$folder_rc" ] || fail "exit code differs for the Windows program"
  grep -v -e '^Updater ' -e '^Version resource: ' "$work/windows.out" >"$work/windows.listing"
  diff "$work/folder.listing" "$work/windows.listing" >&2 || fail "the Windows program's package is listed differently"
fi

# check_refused FILE REASON: exit 1 and the reason
check_refused() {
  "$plpack" inspect "$1" >/dev/null 2>"$work/refused.err"
  rc=$?
  [ "$rc" -eq 1 ] || fail "$1: exit $rc, expected 1"
  grep -qF "$2" "$work/refused.err" || fail "$1: no reason '$2' in: $(cat "$work/refused.err")"
}
check_refused "$plpack" "no symbol plupdate_resource_1000"
check_refused "$package/manifest.ini" "neither a Windows (PE) nor an ELF executable"
check_refused "$work/absent" "cannot read"

[ "$failures" -eq 0 ] || exit 1
echo "plpack inspect: all checks passed"
