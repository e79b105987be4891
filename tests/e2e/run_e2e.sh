#!/bin/bash
# Whole runs of the updater executable against a sample installation:
#   run_e2e.sh host|win BUILD_DIR SOURCE_DIR
# Each case lays out the installation before the update (with an accepted
# Pelora9.exe that is plapp), registers it, runs the updater, answers its
# message boxes and checks the installation byte for byte, the status file,
# the work folder, the backup folder and the relaunch.
#
# The host build answers message boxes from PLUPDATE_ANSWERS and prints them
# on standard error. The Windows build runs under Wine in a prefix of its
# own, with a virtual display: the boxes are found by their caption and
# answered by pressing keys with xdotool, as a person would, and their texts
# are read back from Wine's message box trace. Screenshots of the progress
# window go to BUILD_DIR/e2e-artifacts.
set -u
kind=$1 build=$(cd "$2" && pwd) src=$(cd "$3" && pwd)
if [ "$kind" = win ] && [ -z "${DISPLAY:-}" ]; then exec "$src/cmake/with-xvfb.sh" "$0" "$@"; fi

sample=$src/tests/data/sample
runs=$build/e2e-runs
artifacts=$build/e2e-artifacts
rm -rf "$runs" && mkdir -p "$runs" "$artifacts"
failures=0

if [ "$kind" = win ]; then
  ext=.exe
  export WINEPREFIX=$build/e2e-prefix WINEDEBUG=-all,+msgbox
  wine_run=$src/cmake/wine-run.sh
  "$wine_run" cmd /c exit 0 >/dev/null 2>&1
  work=$WINEPREFIX/drive_c/users/$(id -un)/Temp/PLUpdate
  [ -d "$(dirname "$work")" ] || { echo "e2e: the Wine prefix has no $(dirname "$work")"; exit 1; }
else
  ext=
  export PLUPDATE_SYNC_DIR=${PLUPDATE_SYNC_DIR:-$runs/sync}
  export TMPDIR=$runs/tmp
  mkdir -p "$TMPDIR"
  work=$TMPDIR/PLUpdate
fi
updater=$build/tests/e2e_updater$ext
empty_updater=$build/tests/e2e_updater_empty$ext
damaged_updater=$build/tests/e2e_updater_damaged$ext
plapp=$build/tests/plapp$ext

fail() { echo "  FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "  ok: $*"; }
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
# A path as the program on this build takes it on its command line.
argpath() { if [ "$kind" = win ]; then winpath "$1"; else printf '%s' "$1"; fi; }

# start_case NAME [EXE]: a fresh installation of the sample's old tree, with
# EXE (default: plapp made acceptable) as Pelora9.exe, registered; the work
# folder of earlier runs removed.
start_case() {
  name=$1
  echo "== $name"
  dir=$runs/$name
  mkdir -p "$dir"
  cp -r "$sample/old" "$dir/inst"
  app=$dir/inst/Pelora\ 9
  if [ -n "${2:-}" ]; then cp "$2" "$app/Pelora9.exe"; else
    python3 "$src/tools/accepted_exe.py" "$plapp" "$app/Pelora9.exe" >/dev/null
  fi
  local exe dict
  exe=$(winpath "$app/Pelora9.exe" | sed 's/\\/\\\\/g')
  dict=$(winpath "$dir/inst/Dictionaries" | sed 's/\\/\\\\/g')
  cat >"$dir/registry.reg" <<EOF
Windows Registry Editor Version 5.00

[-HKEY_CLASSES_ROOT\\Applications\\pelora9.exe]
[-HKEY_LOCAL_MACHINE\\Software\\Ostrand]

[HKEY_CLASSES_ROOT\\Applications\\pelora9.exe\\shell\\open\\command]
@="\\"$exe\\" \\"%1\\""

[HKEY_LOCAL_MACHINE\\Software\\Ostrand\\Pelora 8\\Dictionaries]
"Dict_Dir"="$dict"
EOF
  if [ "$kind" = win ]; then
    "$wine_run" regedit /S "$(winpath "$dir/registry.reg")" >/dev/null 2>&1
  else
    export PLUPDATE_REGISTRY=$dir/registry.reg
  fi
  rm -rf "$work"
  boxes=0
}

# run_updater EXE ANSWER... -- ARGS...: starts the updater in the background;
# the answers are for the host's message boxes, in order.
run_updater() {
  local exe=$1
  shift
  : >"$dir/answers"
  while [ "$1" != -- ]; do echo "$1" >>"$dir/answers"; shift; done
  shift
  if [ "$kind" = win ]; then
    "$wine_run" "$exe" "$@" >"$dir/output" 2>&1 &
  else
    PLUPDATE_ANSWERS=$dir/answers "$exe" "$@" >"$dir/output" 2>&1 &
  fi
  updater_pid=$!
}

# expect_box CAPTION TEXT ANSWER [SCREENSHOT]: the next message box the run
# shows, answered (ok, yes, no).
expect_box() {
  local caption=$1 text=$2 answer=$3 shot=${4:-} id="" i
  boxes=$((boxes + 1))
  if [ "$kind" = win ]; then
    for i in $(seq 600); do
      id=$(xdotool search --name "^$caption\$" 2>/dev/null | head -1)
      [ -n "$id" ] && break
      kill -0 "$updater_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -z "$id" ]; then fail "no message box \"$caption\" appeared"; return; fi
    sleep 0.5  # drawn before it is pictured and answered
    [ -n "$shot" ] && import -window root "$artifacts/$shot" 2>/dev/null
    # Pressed again should a key press get lost; the box goes once answered.
    local key=Return press
    [ "$answer" = no ] && key=n
    for press in 1 2 3; do
      xdotool key --window "$id" "$key" 2>/dev/null
      for i in $(seq 30); do xdotool getwindowname "$id" >/dev/null 2>&1 || break 2; sleep 0.1; done
    done
    for i in $(seq 100); do
      [ "$(grep -c 'msgbox:MSGBOX_OnInit' "$dir/output")" -ge "$boxes" ] && break
      sleep 0.1
    done
    if grep 'msgbox:MSGBOX_OnInit' "$dir/output" | sed -n "${boxes}p" | grep -qF "L\"$text\""; then
      pass "\"$caption\": $text"
    else
      fail "message box $boxes was not \"$text\": $(grep 'msgbox:MSGBOX_OnInit' "$dir/output" | sed -n "${boxes}p")"
    fi
  else
    for i in $(seq 600); do
      [ "$(grep -c ': ' "$dir/output")" -ge "$boxes" ] && break
      sleep 0.1
    done
    if grep -F ': ' "$dir/output" | sed -n "${boxes}p" | grep -qxF "$caption: $text"; then
      pass "\"$caption\": $text"
    else
      fail "message box $boxes was not \"$caption: $text\": $(grep -F ': ' "$dir/output" | sed -n "${boxes}p")"
    fi
  fi
}

# wait_updater: the run ends (within two minutes) with exit code 0 and shows
# no message box beyond those expected.
wait_updater() {
  local i status
  for i in $(seq 1200); do kill -0 "$updater_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$updater_pid" 2>/dev/null; then
    fail "the updater did not end"
    kill "$updater_pid" 2>/dev/null
    [ "$kind" = win ] && wineserver -k
  fi
  wait "$updater_pid"
  status=$?
  [ $status = 0 ] && pass "exit code 0" || fail "exit code $status"
  local shown
  if [ "$kind" = win ]; then shown=$(grep -c 'msgbox:MSGBOX_OnInit' "$dir/output"); else shown=$(grep -c ': ' "$dir/output"); fi
  [ "$shown" = "$boxes" ] || fail "$shown message boxes were shown, $boxes expected: $(cat "$dir/output")"
}

end_case() {
  [ "$kind" = win ] && wineserver -k 2>/dev/null
  return 0
}

# installation_is TREE: every file of the sample's TREE (old or new) is in
# the installation with the same bytes, and the installation has no other
# files but Pelora9.exe, plapp's record of its starts and the backup folder.
installation_is() {
  local tree=$sample/$1 inst=$dir/inst
  local expected actual
  expected=$(cd "$tree" && find . -type f | sort)
  actual=$(cd "$inst" && find . -type f ! -path './Pelora 9/Pelora9.exe' ! -path './Pelora 9/plapp-started.txt' \
    ! -path './Pelora 9/Backup/*' | sort)
  if [ "$expected" != "$actual" ]; then
    fail "the installation's files are not those of $1: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"
    return
  fi
  local f bad=""
  while IFS= read -r f; do cmp -s "$tree/$f" "$inst/$f" || bad="$bad $f"; done <<<"$expected"
  [ -z "$bad" ] && pass "installation identical to $1" || fail "files differ from $1:$bad"
}

status_is() {
  local want=$1 got
  got=$(tr -d '\r' <"$work/PLUpdate.ini" 2>/dev/null | sed -n '/^\[Status\]/,/^\[/p' | grep -E '^(CurStat|ErrorCode)=' | tr '\n' ' ')
  [ "$got" = "$want" ] && pass "status file: ${want:-no outcome}" || fail "status file outcome is \"$got\", expected \"$want\""
}

work_folder_is() {
  local want=$1 got
  got=$(ls "$work" 2>/dev/null | sort -V | tr '\n' ' ')
  [ "$got" = "$want" ] && pass "work folder: ${want:-absent}" || fail "work folder holds \"$got\", expected \"$want\""
}

relaunched() {
  local started=$app/plapp-started.txt i
  for i in $(seq 100); do grep -q 'Pelora9.exe /updated' "$started" 2>/dev/null && break; sleep 0.1; done
  if grep -q 'Pelora9.exe /updated' "$started" 2>/dev/null; then pass "Pelora relaunched with \"Pelora9.exe /updated\""
  else fail "Pelora was not relaunched with the status file's command line"; fi
}

not_relaunched() {
  sleep 1
  [ -e "$app/plapp-started.txt" ] && fail "Pelora was started: $(cat "$app/plapp-started.txt")" || pass "Pelora not started"
}

# The destinations of the package's entries that the file pass acts on
# (flags 1 to 4), by entry number: the order in which it backs them up.
entries_backed_up() {
  tr -d '\r' <"$sample/package/manifest.ini" | awk '
    { key = substr($0, 1, index($0, "=") - 1); value = substr($0, index($0, "=") + 1) }
    key == "TotalFiles" { total = value + 0 }
    key ~ /^File[0-9]+Flag$/ { flag[substr(key, 5, length(key) - 8)] = value + 0 }
    key ~ /^File[0-9]+Dest$/ { dest[substr(key, 5, length(key) - 8)] = value }
    END { for (i = 1; i <= total; i++) if (flag[i] >= 1 && flag[i] <= 4) print dest[i] }'
}

backup_holds_old_files() {
  local b=$app/Backup f expected actual
  # The build line first, then one line per entry in entry order, each
  # ending with CR LF; the time stamps (MM/DD/YY HH:MM:SS) are taken out.
  expected=$(echo 'Build:905'; entries_backed_up | sed 's/^/File:/')
  actual=$(sed -E -e 's#^(Build:[0-9]+)\r$#\1#' \
    -e 's#^(File:.*) on [0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\r$#\1#' "$b/Log.txt" 2>/dev/null)
  if [ "$expected" != "$actual" ]; then
    fail "the backup log is not the build line and the entries in order: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"
    return
  fi
  for f in "PLCore.dll" "Old.hlp" "Pelora Tools/Tools.dat" "DATA/Data.bin"; do
    cmp -s "$sample/old/Pelora 9/$f" "$b/$(basename "$f")" || fail "the backup folder has no copy of the old $f"
  done
  cmp -s "$sample/old/Dictionaries/English.dic" "$b/English.dic" || fail "the backup folder has no copy of the old English.dic"
  pass "backup folder holds the old files and the log"
}

# plapp playing a running Pelora until the returned quit file appears.
start_plapp() {
  local quit=$dir/quit ready=$dir/ready i
  if [ "$kind" = win ]; then "$wine_run" "$plapp" "$@" --until "$(argpath "$quit")" --ready "$(argpath "$ready")" &
  else "$plapp" "$@" --until "$quit" --ready "$ready" & fi
  plapp_pid=$!
  for i in $(seq 300); do [ -e "$ready" ] && break; sleep 0.1; done
  [ -e "$ready" ] || fail "plapp did not start"
}
stop_plapp() { : >"$dir/quit"; wait "$plapp_pid" 2>/dev/null; }

# --- the cases ---------------------------------------------------------------

start_case silent
run_updater "$updater" -- -s
wait_updater
installation_is new
status_is "CurStat=3 "
work_folder_is "PLUpdate.ini "
[ -e "$app/Backup" ] && fail "a backup folder was made in silent mode" || pass "no backup in silent mode"
not_relaunched
end_case

start_case backup
run_updater "$updater" yes --
expect_box "Pelora Updater" "Do you want to backup your existing Pelora?" yes progress.png
wait_updater
installation_is new
status_is "CurStat=3 "
work_folder_is "PLUpdate.ini "
backup_holds_old_files
relaunched
end_case

start_case backup-refused
if chattr +i "$app" 2>/dev/null; then
  run_updater "$updater" yes no --
  expect_box "Pelora Updater" "Do you want to backup your existing Pelora?" yes
  expect_box "Pelora Updater" "The backup folder could not be created. Do you want to continue without backup?" no
  wait_updater
  chattr -i "$app"
  installation_is old
  status_is "CurStat=4 ErrorCode=40007 "
  work_folder_is "PLUpdate.ini "
  not_relaunched
else
  echo "  skipped: this file system cannot make a folder unwritable for root (chattr +i)"
fi
end_case

start_case application-running
start_plapp --window
run_updater "$updater" ok -- -s  # silent mode still says why it stops
expect_box "Error" "Please Quit Pelora before running this Updater" ok
wait_updater
stop_plapp
installation_is old
work_folder_is ""
end_case

start_case running-mutex-held
start_plapp --running
run_updater "$updater" ok no --
expect_box "Error" "Please Quit Pelora so the Updater can continue." ok waiting.png
sleep 1
if kill -0 "$updater_pid" 2>/dev/null; then pass "the updater waits while Pelora runs"; else fail "the updater did not wait for Pelora"; fi
installation_is old
stop_plapp
expect_box "Pelora Updater" "Do you want to backup your existing Pelora?" no
wait_updater
installation_is new
status_is "CurStat=3 "
[ -e "$app/Backup" ] && fail "a backup folder was made after No" || pass "no backup after No"
relaunched
end_case

python3 - "$runs/unknown.exe" <<'EOF'
import sys
open(sys.argv[1], "wb").write(b"MZ" + bytes(range(256)) * 40)
EOF
start_case unrecognised-build "$runs/unknown.exe"
run_updater "$updater" ok -- -s
expect_box "Pelora Error" "This copy of Pelora cannot be updated." ok
wait_updater
installation_is old
status_is "CurStat=4 ErrorCode=40006 "
work_folder_is "PLUpdate.ini "
end_case

start_case no-entries
run_updater "$empty_updater" ok -- -s
expect_box "Pelora Updater" "There were no files in the update." ok
wait_updater
installation_is old
status_is "CurStat=4 ErrorCode=40001 "
work_folder_is "PLUpdate.ini "
end_case

# A manifest whose counts cannot hold: said so, recorded, nothing changed,
# and the run ends (it once looped for ever after applying [Core]).
start_case damaged-manifest
run_updater "$damaged_updater" ok --
expect_box "Pelora Updater" "The update package is damaged: [Core] NumFiles is 2000000000, not a count from 0 to 15." ok
wait_updater
installation_is old
status_is "CurStat=4 ErrorCode=40001 "
work_folder_is "PLUpdate.ini "
end_case

# An accepted byte sum on a file that is no program: the update is made,
# and only the relaunch fails.
python3 "$src/tools/accepted_exe.py" "$runs/unknown.exe" "$runs/not-a-program.exe" >/dev/null
start_case relaunch-fails "$runs/not-a-program.exe"
run_updater "$updater" no ok --
expect_box "Pelora Updater" "Do you want to backup your existing Pelora?" no
expect_box "Pelora Updater" "Pelora could not be launched" ok
wait_updater
installation_is new
status_is "CurStat=3 "
work_folder_is "PLUpdate.ini "
end_case

# The host's scripted answers: the answer used is shown under each box, and
# a script that cannot answer a box (no file, a word the box does not take,
# no line left) ends the run with exit code 3 and a line naming the file,
# before anything is changed. Case: ANSWER_LINES|EXIT|WORDS (FILE stands
# for the answers file's path).
if [ "$kind" = host ]; then
  while IFS='|' read -r lines want words; do
    start_case "answers-${lines:-none}"
    answers=$dir/answers
    if [ "$lines" = missing ]; then answers=$dir/no-such-answers; else printf '%s\n' "$lines" | tr , '\n' | sed '/^$/d' >"$answers"; fi
    words=${words//FILE/$answers}
    PLUPDATE_ANSWERS=$answers "$updater" >"$dir/output" 2>&1
    status=$?
    [ $status = "$want" ] && pass "exit code $status" || fail "exit code $status, $want expected"
    if grep -qF -- "$words" "$dir/output"; then pass "says \"$words\""; else fail "does not say \"$words\": $(cat "$dir/output")"; fi
    [ "$want" = 0 ] || installation_is old
    end_case
  done <<'EOF'
no|0|[answered no]
missing|3|The answers file FILE (PLUPDATE_ANSWERS) cannot be read (No such file or directory); the run ends here.
maybe|3|answers "maybe" to the box "Pelora Updater: Do you want to backup your existing Pelora?", which takes yes or no
|3|has no answer left for the box "Pelora Updater: Do you want to backup your existing Pelora?" (it holds 0)
EOF
fi

# Stopped at once (as by a power loss) while preparing and while committing,
# then run again: the second run ends the update, whatever the first left.
# The sample's run has 15 points before its journal and 16 in its commit.
for point in prepare:8 commit:24; do
  start_case "killed-at-${point%%:*}"
  PLUPDATE_KILL_AT=${point#*:} run_updater "$updater" -- -s
  for i in $(seq 1200); do kill -0 "$updater_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$updater_pid"
  rc=$?
  [ "$kind" = win ] || [ $rc = 99 ] || fail "the run was not stopped at point ${point#*:}: exit $rc"
  if [ "${point%%:*}" = commit ]; then
    [ -e "$app/PLUpdate.jnl" ] && pass "stopped in the commit, journal left" || fail "no journal after a stop in the commit"
  fi
  [ "$kind" = win ] && wineserver -w
  run_updater "$updater" -- -s
  wait_updater
  installation_is new
  status_is "CurStat=3 "
  left=$(find "$dir/inst" -name '*.~plu*' -o -name PLUpdate.jnl)
  [ -z "$left" ] && pass "no staging file or journal left" || fail "left behind: $left"
  end_case
done

# What an earlier run or anyone else left in the work folder is cleared at
# the start of the run, not left to block it.
start_case stale-work-folder
mkdir -p "$work/temp5.cab"
echo stale >"$work/temp3.cab" && chmod 444 "$work/temp3.cab"
printf '[Status]\r\nCurStat=1\r\n' >"$work/PLUpdate.ini" && chmod 444 "$work/PLUpdate.ini"
run_updater "$updater" -- -s
wait_updater
installation_is new
status_is "CurStat=3 "
work_folder_is "PLUpdate.ini "
end_case

start_case work-folder-is-a-file
mkdir -p "$(dirname "$work")" && echo "not a folder" >"$work"
run_updater "$updater" -- -s
wait_updater
installation_is new
status_is "CurStat=3 "
work_folder_is "PLUpdate.ini "
end_case

# A shared temporary folder: another account made the work folder first,
# its split files links to files only root may write. The run (as root)
# makes the folder anew, its own and private, and writes through no link.
if [ "$kind" = host ] && [ "$(id -u)" = 0 ] && command -v runuser >/dev/null && id nobody >/dev/null 2>&1; then
  start_case shared-temp-planted
  chmod 1777 "$TMPDIR"
  for f in secret-a secret-b; do echo "root's own $f" >"$runs/$f" && chmod 600 "$runs/$f"; done
  runuser -u nobody -- sh -c "mkdir -m 777 '$work' && ln -s '$runs/secret-a' '$work/temp1.cab' &&
    ln -s '$runs/secret-b' '$work/temp2.cab'" || fail "nobody could not plant the work folder"
  run_updater "$updater" -- -s
  wait_updater
  installation_is new
  status_is "CurStat=3 "
  work_folder_is "PLUpdate.ini "
  for f in secret-a secret-b; do
    [ "$(cat "$runs/$f")" = "root's own $f" ] && pass "$f untouched" || fail "$f was written through a planted link"
  done
  [ "$(stat -c '%U %a' "$work")" = "root 700" ] && pass "work folder is root's, mode 700" ||
    fail "work folder is $(stat -c '%U %a' "$work")"
  chmod 755 "$TMPDIR"
  end_case
fi

echo
# The Windows updater built without a package, given the sample's package by
# the host build's plpack attach, runs as the one built with it.
host_plpack=$src/build/host/plpack
if [ "$kind" = win ] && [ -x "$host_plpack" ]; then
  "$host_plpack" attach "$(winpath "$empty_updater")" "$(winpath "$sample/package")" \
    "$(winpath "$runs/attached.exe")" >/dev/null || fail "plpack attach cannot give the empty updater the package"
  start_case attached-silent
  run_updater "$runs/attached.exe" -- -s
  wait_updater
  installation_is new
  status_is "CurStat=3 "
  work_folder_is "PLUpdate.ini "
  not_relaunched
  end_case
fi

if [ $failures = 0 ]; then echo "e2e ($kind): all cases passed"; exit 0; fi
echo "e2e ($kind): $failures check(s) failed"
exit 1
