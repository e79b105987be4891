#!/bin/sh
# plpack diff makes a patch that plpack apply turns back into the new file,
# on an executable edited in place, shortened and lengthened.
# Usage: plpack_diff.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
plpack=$build/plpack
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$plpack" "$work/old"
size=$(stat -c %s "$work/old")
# Edits: a few bytes overwritten in place, 100 bytes cut out, a block of
# random bytes put in, and a tail appended.
cp "$work/old" "$work/new"
printf 'PATCHED' | dd of="$work/new" bs=1 seek=$((size / 3)) conv=notrunc status=none
{
    head -c $((size / 2)) "$work/new"
    head -c 3000 /dev/urandom
    tail -c +$((size / 2 + 101)) "$work/new"
    printf 'the tail'
} > "$work/new2"

"$plpack" diff "$work/old" "$work/new2" "$work/patch"
"$plpack" apply "$work/old" "$work/patch" "$work/out"
cmp "$work/new2" "$work/out"
patch_size=$(stat -c %s "$work/patch")
echo "patch of $patch_size bytes for a $size-byte file"
# The random block costs 3000 bytes; the other edits a few dozen; and the
# search, which runs in windows of 2^20 positions to bound its memory, cuts a
# run at each window's end for a few bytes more (a Debug build's plpack
# spans two dozen windows).
[ "$patch_size" -lt $((3200 + 16 * (size >> 20))) ]
