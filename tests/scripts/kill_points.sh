#!/bin/bash
# An update stopped at once (as by SIGKILL or a power loss) at each of its
# points in turn, every staging file made, the journal written, each step
# of the commit, and then run again: the installation must hold the new
# release file for file, with no staging file left and CurStat=3.
# PLUPDATE_KILL_AT=n makes the updater end with code 99 at its n-th point.
# Usage: kill_points.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
updater=$build/tests/e2e_updater plapp=$build/tests/plapp sample=$src/tests/data/sample
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

export TMPDIR=$work/tmp PLUPDATE_SYNC_DIR=$work/sync PLUPDATE_REGISTRY=$work/registry.reg
mkdir -p "$TMPDIR" "$PLUPDATE_SYNC_DIR"
inst=$work/inst app=$work/inst/Pelora\ 9

fresh_installation() {
  rm -rf "$inst" "$TMPDIR/PLUpdate"
  cp -r "$sample/old" "$inst"
  python3 "$src/tools/accepted_exe.py" "$plapp" "$app/Pelora9.exe" >/dev/null
}
exe=$(winpath "$app/Pelora9.exe" | sed 's/\\/\\\\/g')
dict=$(winpath "$inst/Dictionaries" | sed 's/\\/\\\\/g')
cat >"$PLUPDATE_REGISTRY" <<REG
Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\\Applications\\pelora9.exe\\shell\\open\\command]
@="\\"$exe\\" \\"%1\\""

[HKEY_LOCAL_MACHINE\\Software\\Ostrand\\Pelora 8\\Dictionaries]
"Dict_Dir"="$dict"
REG

# Whether the installation holds the new release (Pelora9.exe, which plapp
# plays, aside), nothing else, and the run recorded CurStat=3.
check_new_release() {
  local at=$1 expected actual f
  expected=$(cd "$sample/new" && find . -type f ! -path './Pelora 9/Pelora9.exe' | sort)
  actual=$(cd "$inst" && find . -type f ! -path './Pelora 9/Pelora9.exe' ! -path './Pelora 9/Backup/*' | sort)
  [ "$expected" = "$actual" ] ||
    fail "killed at point $at: files differ: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"
  while IFS= read -r f; do
    [ -f "$inst/$f" ] && ! cmp -s "$sample/new/$f" "$inst/$f" && fail "killed at point $at: $f is not the new one"
  done <<<"$expected"
  local status
  status=$(tr -d '\r' <"$TMPDIR/PLUpdate/PLUpdate.ini" | sed -n '/^\[Status\]/,/^\[/p' | grep -E '^(CurStat|ErrorCode)=' | tr '\n' ' ')
  [ "$status" = "CurStat=3 " ] || fail "killed at point $at: status \"$status\""
}

points=0 finished_from_journal=0 run_again=0
for at in $(seq 1 400); do
  fresh_installation
  PLUPDATE_KILL_AT=$at "$updater" -s >"$work/killed.out" 2>&1
  rc=$?
  [ $rc = 0 ] && break  # past the last point: the run went through
  [ $rc = 99 ] || { fail "point $at: the killed run exited with $rc"; continue; }
  points=$at
  if [ -f "$app/PLUpdate.jnl" ]; then finished_from_journal=$((finished_from_journal + 1)); else run_again=$((run_again + 1)); fi
  "$updater" -s >"$work/rerun.out" 2>&1 || fail "point $at: the re-run exited with $?"
  [ -s "$work/rerun.out" ] && fail "point $at: the re-run said: $(cat "$work/rerun.out")"
  check_new_release "$at"
  left=$(find "$inst" -name '*.~plu*')
  [ -z "$left" ] && [ ! -e "$app/PLUpdate.jnl" ] || fail "point $at: left behind: $left $(ls "$app/PLUpdate.jnl" 2>/dev/null)"
done
[ "$points" -ge 10 ] || fail "only $points points were reached"
fresh_installation
"$updater" -s >/dev/null 2>&1
check_new_release "none"

# The same package once more over what it installed: every entry is done
# already, nothing changes, no message.
before=$(cd "$inst" && find . -type f -exec sha256sum {} + | sort)
"$updater" -s >"$work/twice.out" 2>&1
[ -s "$work/twice.out" ] && fail "applied twice: it said: $(cat "$work/twice.out")"
check_new_release "none (applied twice)"
[ "$before" = "$(cd "$inst" && find . -type f -exec sha256sum {} + | sort)" ] || fail "applied twice: files changed"

# With a backup, stopped in the commit (the journal written, then half way)
# and run again: the backup folder holds the old files, and no copy waits.
first_commit_point=$((run_again + 1))
for at in $first_commit_point $((first_commit_point + finished_from_journal / 2)); do
  fresh_installation
  echo yes >"$work/answers"
  PLUPDATE_ANSWERS=$work/answers PLUPDATE_KILL_AT=$at "$updater" >"$work/backup-killed.out" 2>&1
  [ $? = 99 ] || { fail "backup, point $at: the run was not stopped"; continue; }
  "$updater" -s >"$work/backup-rerun.out" 2>&1
  check_new_release "$at (with a backup)"
  for f in "Pelora 9/PLCore.dll" "Pelora 9/Old.hlp" "Pelora 9/Pelora Tools/Tools.dat" "Pelora 9/DATA/Data.bin" \
    "Dictionaries/English.dic"; do
    cmp -s "$sample/old/$f" "$app/Backup/$(basename "$f")" || fail "backup, point $at: no copy of the old $f"
  done
  [ ! -e "$app/Backup/PLUpdate.new" ] || fail "backup, point $at: copies still wait in PLUpdate.new"
done

echo "kill points tried: $points ($run_again before the journal, $finished_from_journal finished from it)"
[ $failures = 0 ] && echo "kill_points: all passed" || echo "kill_points: $failures failed"
[ $failures = 0 ]
