#!/bin/bash
# The updater at work on a demo installation of Pelora 9:
#   tools/demo.sh win    the Windows updater under Wine, on a virtual display
#   tools/demo.sh host   the host build, natively
# Two demo installations (before and after a release) are generated, plpack
# builds the update package between them, the updater is built carrying it,
# the older installation is laid out and registered as an installed Pelora 9
# (with a Pelora9.exe whose byte sum the updater accepts), and the updater
# runs with the backup question answered Yes. Everything stays in build/demo.
set -eu
kind=${1:-win}
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$kind" = win ] && [ -z "${DISPLAY:-}" ]; then exec "$top/cmake/with-xvfb.sh" "$0" "$@"; fi

demo=$top/build/demo
plpack=$top/build/host/plpack
rm -rf "$demo"
mkdir -p "$demo"
step() { printf '\n== %s\n' "$*"; }

if [ "$kind" = win ]; then
  build=$top/build/win
  plapp=$build/tests/plapp.exe
  updater=$build/PLUpdate.exe
  export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all
  drive_c=$WINEPREFIX/drive_c
else
  build=$top/build/host
  plapp=$build/tests/plapp
  updater=$build/plupdate
  export PLUPDATE_DRIVES=$demo/drives PLUPDATE_SYNC_DIR=$demo/sync TMPDIR=$demo/drives/c/temp
  drive_c=$PLUPDATE_DRIVES/c
  mkdir -p "$TMPDIR"
fi

step "Two releases of Pelora 9, generated"
# Pelora9.exe is plapp, which plays Pelora: the old one with a byte sum the
# updater accepts, the new one a different file that still runs.
python3 "$top/tools/accepted_exe.py" "$plapp" "$demo/Pelora9.exe"
{ cat "$plapp"; printf 'Pelora 9 build 910'; } >"$demo/Pelora9-new.exe"
python3 "$top/tools/make-installations.py" "$demo/old" "$demo/new" --size 10000000 \
  --exe "$demo/Pelora9.exe" --new-exe "$demo/Pelora9-new.exe" \
  --dict-old "$demo/dict-old" --dict-new "$demo/dict-new"
du -sh "$demo/old" "$demo/new" | sed "s|$demo/||"

if [ "$kind" = win ]; then
  step "The release: plpack builds, verifies and attaches the package to the updater, and signs it"
  # The updater is built once, carrying no demo package; a throw-away
  # certificate stands in for the publisher's.
  cmake --build "$build" --target plupdate >/dev/null
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Pelora demo" -days 2 \
    -keyout "$demo/demo-key.pem" -out "$demo/demo-cert.pem" >/dev/null 2>&1
  "$plpack" release "$demo/old" "$demo/new" --build 910 --dict-old "$demo/dict-old" --dict-new "$demo/dict-new" \
    --updater "$updater" -o "$demo/PLUpdate.exe" --sign-cert "$demo/demo-cert.pem" --sign-key "$demo/demo-key.pem"
  updater=$demo/PLUpdate.exe
else
  step "The update package, built by plpack"
  "$plpack" build "$demo/old" "$demo/new" "$demo/package" --build 910 \
    --dict-old "$demo/dict-old" --dict-new "$demo/dict-new"

  step "The package checked by plpack verify (the updater's file pass on a copy of the old release)"
  "$plpack" verify "$demo/old" "$demo/new" "$demo/package" --dict-old "$demo/dict-old" --dict-new "$demo/dict-new"

  step "The updater, built carrying the package"
  # The build folder carries the demo package only for as long as it takes to
  # build the demo's updater; then it goes back to its default package.
  cmake -S "$top" -B "$build" -DPLUPDATE_PACKAGE="$demo/package" >/dev/null
  cmake --build "$build" --target plupdate >/dev/null
  cp "$updater" "$demo/"
  updater=$demo/$(basename "$updater")
  cmake -S "$top" -B "$build" -UPLUPDATE_PACKAGE >/dev/null
fi
ls -l "$updater" | awk '{print $5 " bytes: " $9}'

step "Pelora 9 installed"
app="$drive_c/Program Files/Pelora 9"
dict="$drive_c/Program Files/Common Files/Ostrand/Dictionaries"
if [ "$kind" = win ]; then wineboot -i >/dev/null 2>&1; fi
mkdir -p "$(dirname "$app")" "$(dirname "$dict")"
cp -r "$demo/old" "$app"
cp -r "$demo/dict-old" "$dict"
chmod +x "$app/Pelora9.exe"  # the host runs only files marked as programs
cat >"$demo/pelora.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\Applications\pelora9.exe\shell\open\command]
@="\"C:\\Program Files\\Pelora 9\\Pelora9.exe\" \"%1\""

[HKEY_CLASSES_ROOT\.PLX\shell\open\command]
@="\"C:\\Program Files\\Pelora 9\\Pelora9.exe\" \"%1\""

[HKEY_LOCAL_MACHINE\Software\Ostrand\Pelora 8\Dictionaries]
"Dict_Dir"="C:\\Program Files\\Common Files\\Ostrand\\Dictionaries"
EOF
if [ "$kind" = win ]; then
  wine regedit /S "$(printf 'Z:%s' "$demo/pelora.reg" | tr / '\\')"
else
  export PLUPDATE_REGISTRY=$demo/pelora.reg
fi
echo "C:\\Program Files\\Pelora 9, registered; dictionaries in C:\\Program Files\\Common Files\\Ostrand\\Dictionaries"
echo "Pelora9.exe byte sum: $("$plpack" bytesum "$app/Pelora9.exe")"

step "The updater runs; the backup question is answered Yes"
if [ "$kind" = win ]; then
  wine "$updater" &
  pid=$!
  id=""
  for _ in $(seq 600); do
    id=$(xdotool search --name '^Pelora Updater$' 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "the backup question did not appear"; exit 1; }
  sleep 0.5
  import -window root "$demo/progress.png"
  for _ in 1 2 3; do  # pressed again should a key press get lost
    xdotool key --window "$id" Return 2>/dev/null
    for _ in $(seq 30); do xdotool getwindowname "$id" >/dev/null 2>&1 || break 2; sleep 0.1; done
  done
  # The window at work: the last picture taken while the updater still ran.
  while kill -0 "$pid" 2>/dev/null; do
    import -window root "$demo/shot.png"
    kill -0 "$pid" 2>/dev/null && mv "$demo/shot.png" "$demo/progress-running.png"
  done
  rm -f "$demo/shot.png"
  wait "$pid"
  wineserver -w
else
  echo yes >"$demo/answers"
  PLUPDATE_ANSWERS=$demo/answers "$updater"
  sleep 0.5
fi

step "What happened"
# The entries of the package the updater carries, as plpack reads them.
"$plpack" inspect "$updater" | grep -E '^(Version resource|Entries):' || true
started=$(tr -d '\r' 2>/dev/null <"$app/plapp-started.txt" || true)
rm -f "$app/plapp-started.txt"  # plapp's record of its starts belongs to no release
backup="$app/Backup"
python3 "$top/tools/same_installation.py" "$demo/new" "$app" "$demo/dict-new" "$dict" || true
if [ "$kind" = win ]; then
  status=$drive_c/users/$(id -un)/Temp/PLUpdate/PLUpdate.ini
else
  status=$TMPDIR/PLUpdate/PLUpdate.ini
fi
echo "status file: $(tr -d '\r' <"$status" | sed -n '/^\[Status\]/,$p' | tr '\n' ' ')"
echo "backup folder: C:\\Program Files\\Pelora 9\\Backup ($(ls "$backup" | wc -l) files), its log begins:"
head -4 "$backup/Log.txt" | sed 's/^/    /'
echo "Pelora started again with the command line: ${started:-(not started)}"
if [ "$kind" = win ]; then echo "screenshots of the progress window: $demo/progress.png, $demo/progress-running.png"; fi
