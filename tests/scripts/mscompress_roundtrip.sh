#!/bin/bash
# Fresh seeded inputs, compressed live by mscompress, expand through the
# host's plpack to the original; msexpand agrees on the same files.
# Usage: mscompress_roundtrip.sh BUILD_DIR SOURCE_DIR. PLUPDATE_SEED picks
# other inputs (the seed in use is printed).
set -u
build_dir=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
plpack=$build_dir/plpack
. "$source_dir/tests/support/inputs.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$plpack" ] || fail "$plpack is missing: build the host build first"
command -v mscompress >/dev/null || fail "mscompress is not installed (Debian package mscompress)"
command -v msexpand >/dev/null || fail "msexpand is not installed (Debian package mscompress)"

seed=${PLUPDATE_SEED:-20240611}
echo "seed $seed"
work=$build_dir/mscompress_roundtrip.work
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

failures=0
problem() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Around the 32000-byte copy buffer, the 4096-byte window, and larger.
sizes="17 18 4095 4097 31999 32000 32001 64000 250000"
kinds="random_input text_input runs_input mixed_input"
n=0
for size in $sizes; do
  for kind in $kinds; do
    n=$((n + 1))
    name=${kind%_input}_$size
    "$kind" $((seed + n)) "$size" >"$work/$name"
    [ "$(wc -c <"$work/$name")" = "$size" ] || fail "the $kind generator made the wrong size"
    (cd "$work" && mscompress "$name") || { problem "mscompress failed on $name"; continue; }
    "$plpack" expand "$work/${name}_" "$work/$name.plpack" || { problem "plpack cannot expand $name"; continue; }
    cmp "$work/$name" "$work/$name.plpack" >&2 || problem "$name: plpack's expansion differs from the original"
    [ -f "$work/${name}_" ] || problem "$name: plpack expand removed its source"
    msexpand <"$work/${name}_" >"$work/$name.msexpand" 2>/dev/null
    cmp "$work/$name.plpack" "$work/$name.msexpand" >&2 || problem "$name: msexpand disagrees"
    rm -f "$work/$name" "$work/${name}_" "$work/$name.plpack" "$work/$name.msexpand"
  done
done

[ "$failures" = 0 ] || fail "$failures of $n files failed (seed $seed)"
echo "$n files expanded to their originals"
