#!/bin/bash
# The whole silent update on the host build, timed against copying.
#
# Three packages are built with plpack from releases that
# bench/make_update_trees.py generates: 2026 and 8026 small entries (the
# cost of each entry), and 257 entries with about 74 MB of new files (the
# cost of the bytes). For each, the updater is built carrying it, the old
# release is installed under a drive folder of its own, and `plupdate -s`
# runs; its time runs from its start to its last change in the
# installation (the newest change time of any file or folder there), which
# leaves out the fixed waits after the file pass. In the same run `cp -r`
# copies the new release's files, for comparison. Each result is checked
# against the new release.
#
# Prints each time as a ratio: the large package's update against its copy
# (goal: at most 5), and 8026 entries against 2026 (goal: at most 4).
#
# With WIN_BUILD naming a Windows build, the same updaters are also built
# for Windows and run under Wine in a prefix of their own, and each run's
# whole wall time (from the process's start to its end, Wine's own start
# included) is set against the host run's (goal: at most 2).
#
# Usage: bench/update_bench.sh BUILD_DIR [NAME...]   (a host build)
#   NAME: e2026, e8026, large (default: all three)
#   RUNS=n  runs of each (default 3); the fastest counts.
#   KEEP_UPDATERS=1  runs the updaters and packages already in the folder,
#           as an earlier run built them (to time an older build again).
# The releases, packages and updaters are kept in BUILD_DIR/bench-update,
# or in the folder BENCH_DIR names.
set -euo pipefail
build=$(cd "${1:?usage: update_bench.sh BUILD_DIR [NAME...]}" && pwd)
shift
top=$(cd "$(dirname "$0")/.." && pwd)
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(e2026 e8026 large)
runs=${RUNS:-3}
plpack=$build/plpack
plapp=$build/tests/plapp
for tool in "$plpack" "$plapp"; do
  [ -x "$tool" ] || { echo "update_bench.sh: $tool is missing: build the host build first" >&2; exit 1; }
done
work=${BENCH_DIR:-$build/bench-update}
mkdir -p "$work"

# name -> entries and bytes of new files
declare -A entries=([e2026]=2026 [e8026]=8026 [large]=257)
declare -A bytes=([e2026]=$((2026 * 4096)) [e8026]=$((8026 * 4096)) [large]=74000000)

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

if [ -z "${KEEP_UPDATERS:-}" ]; then
  python3 "$top/tools/accepted_exe.py" "$plapp" "$work/Pelora9.exe"
  { cat "$plapp"; printf 'Pelora 9 build 910'; } >"$work/Pelora9-new.exe"
fi

# The updater carries its package: the build folder is configured with each
# package in turn only for as long as it takes to link its updater.
win=${WIN_BUILD:+$(cd "$WIN_BUILD" && pwd)}
restore_build() {
  cmake -S "$top" -B "$build" -UPLUPDATE_PACKAGE >/dev/null
  if [ -n "$win" ]; then cmake -S "$top" -B "$win" -UPLUPDATE_PACKAGE >/dev/null; fi
}
trap restore_build EXIT
for name in "${names[@]}"; do
  if [ -n "${KEEP_UPDATERS:-}" ]; then
    [ -x "$work/$name/plupdate" ] || { echo "update_bench.sh: no updater in $work/$name" >&2; exit 1; }
    continue
  fi
  [ -n "${entries[$name]:-}" ] || { echo "update_bench.sh: no package named $name" >&2; exit 2; }
  dir=$work/$name
  stamp="${entries[$name]} ${bytes[$name]} $(sha256sum <"$work/Pelora9-new.exe" | cut -c1-16)"
  if [ "$(cat "$dir/stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$dir"
    python3 "$top/bench/make_update_trees.py" "$dir/trees" --entries "${entries[$name]}" --size "${bytes[$name]}" \
      --exe "$work/Pelora9.exe" --new-exe "$work/Pelora9-new.exe"
    "$plpack" build "$dir/trees/old" "$dir/trees/new" "$dir/package" --build 910 \
      --dict-old "$dir/trees/dict-old" --dict-new "$dir/trees/dict-new" >/dev/null
    echo "$stamp" >"$dir/stamp"
  fi
  cmake -S "$top" -B "$build" -DPLUPDATE_PACKAGE="$dir/package" >/dev/null
  cmake --build "$build" --target plupdate >/dev/null
  cp "$build/plupdate" "$dir/plupdate"
  if [ -n "$win" ]; then
    cmake -S "$top" -B "$win" -DPLUPDATE_PACKAGE="$dir/package" >/dev/null
    cmake --build "$win" --target plupdate >/dev/null
    cp "$win/PLUpdate.exe" "$dir/PLUpdate.exe"
  fi
done
restore_build
trap - EXIT

cat >"$work/pelora.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\Applications\pelora9.exe\shell\open\command]
@="\"C:\\Program Files\\Pelora 9\\Pelora9.exe\" \"%1\""

[HKEY_LOCAL_MACHINE\Software\Ostrand\Pelora 8\Dictionaries]
"Dict_Dir"="C:\\Program Files\\Common Files\\Ostrand\\Dictionaries"
EOF

if [ -n "$win" ]; then
  # One X display and one running wineserver for all the Wine runs, as on a
  # machine where Windows is already up: each run then counts its own
  # process's start and end, not the server's.
  [ -n "${DISPLAY:-}" ] || exec "$top/cmake/with-xvfb.sh" env KEEP_UPDATERS=1 "$0" "$build" "${names[@]}"
  export WINEPREFIX=$work/wine-prefix WINEDEBUG=-all
  wine_run=$top/cmake/wine-run.sh
  wineserver -k 2>/dev/null || true
  # A new prefix is made first, by a server that then ends and writes its
  # registry out; a persistent server would keep it in memory, and the next
  # Wine command would find the prefix unmade.
  "$wine_run" cmd /c exit 0 >/dev/null 2>&1
  wineserver -w
  wineserver -p
  trap 'wineserver -k 2>/dev/null' EXIT
  "$wine_run" regedit /S "$(winepath -w "$work/pelora.reg")" >/dev/null 2>&1
  "$wine_run" cmd /c exit 0 >/dev/null 2>&1
  wine_c=$WINEPREFIX/drive_c
fi

# wine_update DIR: the updater of DIR under Wine over the old release; its
# whole wall time in $wine_wall
wine_update() {
  local dir=$1
  local app="$wine_c/Program Files/Pelora 9" dict="$wine_c/Program Files/Common Files/Ostrand/Dictionaries"
  # The last run's installation is moved aside, not deleted: as for the host
  # runs, all of them go only after the last run.
  local aside
  aside=$(mktemp -d "$WINEPREFIX/earlier.XXXXXX")
  if [ -d "$app" ]; then mv "$app" "$aside/app"; fi
  if [ -d "$dict" ]; then mv "$dict" "$aside/dict"; fi
  mkdir -p "$(dirname "$dict")"
  cp -r "$dir/trees/old" "$app"
  cp -r "$dir/trees/dict-old" "$dict"
  sync
  local start end
  start=$(now)
  "$wine_run" "$dir/PLUpdate.exe" -s >/dev/null 2>&1
  end=$(now)
  wine_wall=$(seconds "$start" "$end")
  python3 "$top/tools/same_installation.py" "$dir/trees/new" "$app" "$dir/trees/dict-new" "$dict" >/dev/null ||
    { echo "update_bench.sh: $(basename "$dir"): under Wine, the installation is not the new release" >&2; exit 1; }
}

declare -A update copy wine_best
for name in "${names[@]}"; do
  dir=$work/$name
  total=$(tr -d '\r' <"$dir/package/manifest.ini" | sed -n 's/^TotalFiles=//p')
  payload=$(stat -c %s "$dir/package/payload.bin")
  best_update="" best_copy="" best_host_wall="" best_wine_wall=""
  # Each run installs into a folder of its own, and all of them go only
  # after the last: ext4 allocates new files slowly for some seconds after
  # many have been deleted nearby, which would charge the deletion of one
  # run's files to the next run (more to the updater, which creates more
  # files than cp).
  rm -rf "$dir"/run "$dir"/run.*
  for r in $(seq "$runs"); do
    run=$dir/run.$r
    app="$run/drives/c/Program Files/Pelora 9"
    dict="$run/drives/c/Program Files/Common Files/Ostrand/Dictionaries"
    mkdir -p "$(dirname "$app")" "$(dirname "$dict")" "$run/drives/c/temp" "$run/sync" "$run/copy"
    cp -r "$dir/trees/old" "$app"
    cp -r "$dir/trees/dict-old" "$dict"
    chmod +x "$app/Pelora9.exe"
    sync
    start=$(now)
    cp -r "$dir/trees/new" "$dir/trees/dict-new" "$run/copy/"
    end=$(now)
    copied=$(seconds "$start" "$end")
    start=$(now)
    PLUPDATE_DRIVES=$run/drives PLUPDATE_SYNC_DIR=$run/sync TMPDIR=$run/drives/c/temp \
      PLUPDATE_REGISTRY=$work/pelora.reg "$dir/plupdate" -s
    ended=$(now)
    last=$(find "$app" "$dict" -printf '%C@\n' | sort -n | tail -1)
    updated=$(seconds "$start" "$last")
    python3 "$top/tools/same_installation.py" "$dir/trees/new" "$app" "$dir/trees/dict-new" "$dict" >/dev/null ||
      { echo "update_bench.sh: $name: the installation is not the new release" >&2; exit 1; }
    if [ -z "$best_update" ] || awk -v a="$updated" -v b="$best_update" 'BEGIN { exit !(a < b) }'; then
      best_update=$updated
    fi
    if [ -z "$best_copy" ] || awk -v a="$copied" -v b="$best_copy" 'BEGIN { exit !(a < b) }'; then
      best_copy=$copied
    fi
    if [ -n "$win" ]; then
      host_wall=$(seconds "$start" "$ended")
      wine_update "$dir"
      if [ -z "$best_host_wall" ] || awk -v a="$host_wall" -v b="$best_host_wall" 'BEGIN { exit !(a < b) }'; then
        best_host_wall=$host_wall
      fi
      if [ -z "$best_wine_wall" ] || awk -v a="$wine_wall" -v b="$best_wine_wall" 'BEGIN { exit !(a < b) }'; then
        best_wine_wall=$wine_wall
      fi
    fi
  done
  if [ -n "$win" ]; then
    wine_best[$name]=$best_wine_wall
    printf '%-6s whole run: host %6.3f s, Wine %6.3f s, Wine against host %.2f (goal: at most 2)\n' \
      "$name" "$best_host_wall" "$best_wine_wall" "$(awk -v a="$best_wine_wall" -v b="$best_host_wall" 'BEGIN { print a / b }')"
  fi
  rm -rf "$dir"/run.*
  if [ -n "$win" ]; then rm -rf "$WINEPREFIX"/earlier.*; fi
  update[$name]=$best_update
  copy[$name]=$best_copy
  printf '%-6s %5s entries, payload %6.1f MB, new files %6.1f MB: update %8.3f s, cp -r %6.3f s, ratio %6.1f\n' \
    "$name" "$total" "$(awk -v b="$payload" 'BEGIN { print b / 1e6 }')" \
    "$(du -sb "$dir/trees/new" "$dir/trees/dict-new" | awk '{ s += $1 } END { print s / 1e6 }')" \
    "$best_update" "$best_copy" "$(awk -v a="$best_update" -v b="$best_copy" 'BEGIN { print a / b }')"
done
if [ -n "${update[e2026]:-}" ] && [ -n "${update[e8026]:-}" ]; then
  printf '8026 entries against 2026: %.2f (goal: at most 4)\n' \
    "$(awk -v a="${update[e8026]}" -v b="${update[e2026]}" 'BEGIN { print a / b }')"
fi
if [ -n "${wine_best[e2026]:-}" ] && [ -n "${wine_best[e8026]:-}" ]; then
  printf 'under Wine, 8026 entries against 2026 (whole runs): %.2f (goal: at most 4)\n' \
    "$(awk -v a="${wine_best[e8026]}" -v b="${wine_best[e2026]}" 'BEGIN { print a / b }')"
fi
if [ -n "${update[large]:-}" ]; then
  printf 'large update against cp -r of its new files: %.1f (goal: at most 5)\n' \
    "$(awk -v a="${update[large]}" -v b="${copy[large]}" 'BEGIN { print a / b }')"
fi
