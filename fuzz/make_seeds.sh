#!/bin/sh
# Remakes the seed inputs of fuzz/corpus/ from the fixtures of tests/data,
# a few patches made by plpack, and two tiny executables (ELF objects made
# by the assembler, a PE made by MinGW) that carry a package.
# Usage: fuzz/make_seeds.sh PLPACK   (the host build's plpack)
set -e
plpack=$(realpath "$1")
cd "$(dirname "$0")"
data=../tests/data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two bytes, little-endian: the length of the old data in front.
u16() { printf "\\$(printf %03o $(($1 % 256)))\\$(printf %03o $(($1 / 256)))"; }

rm -rf corpus && mkdir -p corpus/szdd_decoder corpus/szdd_round_trip corpus/patch_body \
  corpus/diff_round_trip corpus/apply_patch corpus/payload_records corpus/embedded_package \
  corpus/manifest_check corpus/profile_files

# szdd_decoder: a byte saying three chunk-size bytes follow, them, the file.
for f in szdd_random_17.bin_ szdd_random_4099.bin_ szdd_runs_40000.txt_ szdd_spaces_2000.txt_ szdd_text_32000.txt_; do
  { printf '\003\007\041\001'; cat "$data/$f"; } > "corpus/szdd_decoder/$f"
done

# szdd_round_trip: plain data.
cp "$data/szdd_random_17.bin" corpus/szdd_round_trip/random_17
head -c 2000 "$data/szdd_spaces_2000.txt" > corpus/szdd_round_trip/spaces
head -c 3000 "$data/szdd_text_32000.txt" > corpus/szdd_round_trip/text
head -c 3000 "$data/szdd_runs_40000.txt" > corpus/szdd_round_trip/runs
head -c 2000 "$data/szdd_mixed_64000.bin" > corpus/szdd_round_trip/mixed

# Pairs of old and new data, as diff_round_trip takes them and, turned into
# patches by plpack, as patch_body and apply_patch take them.
head -c 1500 "$data/szdd_text_32000.txt" > "$work/text_old"
{ head -c 700 "$work/text_old"; printf 'an inserted line\n'; tail -c +760 "$work/text_old"; } > "$work/text_new"
head -c 1200 "$data/szdd_mixed_64000.bin" > "$work/mixed_old"
{ tail -c +600 "$work/mixed_old"; head -c 600 "$work/mixed_old"; } > "$work/mixed_new"
head -c 900 "$data/szdd_runs_40000.txt" > "$work/runs_old"
head -c 1000 "$data/szdd_runs_40000.txt" | tail -c 950 > "$work/runs_new"
: > "$work/empty_old"
head -c 200 "$data/szdd_random_4099.bin" > "$work/empty_new"
for pair in text mixed runs empty; do
  old="$work/${pair}_old"
  new="$work/${pair}_new"
  { u16 "$(wc -c < "$old")"; cat "$old" "$new"; } > "corpus/diff_round_trip/$pair"
  "$plpack" diff "$old" "$new" "$work/$pair.patch" >/dev/null
  size=$(wc -c < "$work/$pair.patch")
  { u16 "$(wc -c < "$old")"; cat "$old"; head -c $((size - 4)) "$work/$pair.patch"; } > "corpus/patch_body/$pair"
  { u16 "$(wc -c < "$old")"; cat "$old" "$work/$pair.patch"; } > "corpus/apply_patch/$pair"
done

# payload_records: the payloads of the test packages.
cp "$data/sample/package/payload.bin" corpus/payload_records/sample
cp "$data/split-package/payload.bin" corpus/payload_records/split
# A record of 2 bytes, then one whose length field, added to where it
# stands, passes 2^32 and comes back inside the payload.
printf '\002\000\000\000ok\374\377\377\377wxyz' > corpus/payload_records/wrapping_length

# embedded_package: 64- and 32-bit ELF objects and a PE executable that carry
# the split test package.
pkg=$(realpath "$data/split-package")
{
  echo '.section .rodata'
  for r in "1000 status.ini" "1001 manifest.ini" "1002 payload.bin"; do
    set -- $r
    echo ".global plupdate_resource_$1"; echo "plupdate_resource_$1:"; echo ".incbin \"$pkg/$2\""
    echo ".global plupdate_resource_$1_end"; echo "plupdate_resource_$1_end:"
  done
} > "$work/package.s"
as --64 -o "$work/elf64.o" "$work/package.s"
as --32 -o "$work/elf32.o" "$work/package.s"
cp "$work/elf64.o" corpus/embedded_package/elf64
cp "$work/elf32.o" corpus/embedded_package/elf32
printf '1000 DATA "%s/status.ini"\n1001 DATA "%s/manifest.ini"\n1002 DATA "%s/payload.bin"\n' "$pkg" "$pkg" "$pkg" \
  > "$work/package.rc"
x86_64-w64-mingw32-windres "$work/package.rc" -o "$work/package_rc.o"
printf 'void start(void) {}\n' > "$work/start.c"
x86_64-w64-mingw32-gcc -nostdlib -s -Wl,-e,start -Wl,--no-insert-timestamp -o "$work/pe.exe" "$work/start.c" "$work/package_rc.o"
cp "$work/pe.exe" corpus/embedded_package/pe && chmod -x corpus/embedded_package/pe

# manifest_check: a byte giving the records the split wrote (255: any),
# then a manifest.
printf '\003[General]\r\nTotalFiles=3\r\n[Core]\r\nNumFiles=2\r\nFile1Flag=1\r\nFile1Dest=Pelora9.exe\r\nFile1CAB=temp2.cab\r\nFile2Flag=3\r\nFile2Dest=Old.dll\r\n[Filters]\r\nNumFiles=1\r\nFile3Flag=2\r\nFile3Dest=a.flt\r\nFile3CAB=TEMP3.CAB\r\n' \
  > corpus/manifest_check/small
{ printf '\377'; cat "$data/package_manifest.ini"; } > corpus/manifest_check/package
{ printf '\020'; cat "$data/manifest_inconsistent.ini"; } > corpus/manifest_check/inconsistent

# profile_files: profiles as they are, and one of the forms a reader trips on.
cp "$data/package_status.ini" corpus/profile_files/status
cp "$data/package_manifest.ini" corpus/profile_files/manifest
printf '; comment\n[A]\nk=1\n"q"=\047x\047\n[a]\nK=2\nbare line\n  [B] \n key = "quoted" \nk2=0x1F' > corpus/profile_files/tricky

du -sb corpus
