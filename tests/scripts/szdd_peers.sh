#!/bin/sh
# The SZDD files of `plpack compress` expand byte for byte with the peer
# readers (msexpand and libmspack), and are no larger than mscompress's own.
# Usage: szdd_peers.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
plpack=$build/plpack
mspack=$build/tests/mspack_expand
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Text, random and executable data, and the small and boundary cases.
cat "$source"/patch/*.cpp "$source"/patch/*.h "$source"/platform/host/*.cpp > "$work/text"
head -c 200000 /dev/urandom > "$work/random"
# Random over two letters: long chains of short matches, where a parse that
# takes the longest match at once falls behind.
head -c 300000 /dev/urandom | tr '\000-\377' '[a*128][b*128]' > "$work/two_letters"
cp "$plpack" "$work/executable"
printf '' > "$work/empty"
printf 'abcde' > "$work/five"
head -c 32000 /dev/zero | tr '\0' ' ' > "$work/spaces"
head -c 4097 "$work/text" > "$work/text4097"

failed=0
for name in text random two_letters executable empty five spaces text4097; do
    file=$work/$name
    "$plpack" compress "$file" "$file.szdd"
    msexpand < "$file.szdd" > "$file.msexpand" 2>/dev/null || true
    if ! cmp -s "$file" "$file.msexpand"; then
        echo "FAIL: msexpand does not give back $name"
        failed=1
    fi
    if ! "$mspack" "$file.szdd" "$file.mspack" || ! cmp -s "$file" "$file.mspack"; then
        echo "FAIL: libmspack does not give back $name"
        failed=1
    fi
    ours=$(stat -c %s "$file.szdd")
    size=$(stat -c %s "$file")
    # mscompress garbles inputs below 17 bytes: no comparison there.
    if [ "$size" -ge 17 ]; then
        mscompress "$file" >/dev/null 2>&1
        theirs=$(stat -c %s "${file}_")
        echo "$name: $size bytes, plpack $ours, mscompress $theirs"
        if [ "$ours" -gt "$theirs" ]; then
            echo "FAIL: $name compresses to $ours bytes, mscompress makes $theirs"
            failed=1
        fi
    else
        echo "$name: $size bytes, plpack $ours"
    fi
done
exit $failed
