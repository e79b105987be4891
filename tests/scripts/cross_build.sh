#!/bin/bash
# The two builds of plpack agree byte for byte: the host's (our SZDD decoder
# and POSIX stand-ins) and the Windows build's under Wine (Wine's LZ library
# and Win32 files), on the same inputs for expand, apply and bytesum.
# Usage: cross_build.sh BUILD_DIR SOURCE_DIR. Needs the Windows build in
# SOURCE_DIR/build/win and Wine; without them the test fails.
set -u
build_dir=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
host_plpack=$build_dir/plpack
win_plpack=$source_dir/build/win/plpack.exe
data=$source_dir/tests/data
. "$source_dir/tests/support/inputs.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$host_plpack" ] || fail "$host_plpack is missing: build the host build first"
[ -f "$win_plpack" ] || fail "$win_plpack is missing: build the Windows build (cmake -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake) first"
command -v wine >/dev/null || fail "wine is not installed; the Windows build cannot be run"
command -v mscompress >/dev/null || fail "mscompress is not installed (Debian package mscompress)"

export WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
work=$build_dir/cross_build.work
rm -rf "$work"
mkdir -p "$work/in" "$work/host" "$work/win"
finish() {
  wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT

run_host() { "$host_plpack" "$@"; }
# Absolute paths become Wine's Z: paths; the prefix is made on first use.
run_win() {
  local args=() a
  for a in "$@"; do
    [[ $a == /* ]] && a="Z:${a//\//\\}"
    args+=("$a")
  done
  "$source_dir/cmake/wine-run.sh" "$win_plpack" "${args[@]}"
}

failures=0
problem() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Runs a command on both builds; @OUT@ in the arguments names each build's
# own output file, $work/host/NAME or $work/win/NAME. Checks the exit
# codes and the outputs (or their absence) are the same, and that the
# exit code is EXPECTED.
both() {
  local name=$1 expected=$2; shift 2
  local host_args=("${@//@OUT@/$work/host/$name}") win_args=("${@//@OUT@/$work/win/$name}")
  run_host "${host_args[@]}" >"$work/host/$name.stdout" 2>"$work/host/$name.stderr"
  local host_code=$?
  run_win "${win_args[@]}" >"$work/win/$name.stdout" 2>"$work/win/$name.stderr"
  local win_code=$?
  # The Windows build prints names in its code page, Windows-1252.
  tr -d '\r' <"$work/win/$name.stdout" | iconv -f CP1252 -t UTF-8 >"$work/win/$name.stdout.unix"
  [ "$host_code" = "$expected" ] || problem "$name: host exit code $host_code, expected $expected: $(cat "$work/host/$name.stderr")"
  [ "$win_code" = "$expected" ] || problem "$name: Windows exit code $win_code, expected $expected: $(cat "$work/win/$name.stderr")"
  cmp -s "$work/host/$name.stdout" "$work/win/$name.stdout.unix" || problem "$name: the printed results differ"
  if [ -f "$work/host/$name" ] || [ -f "$work/win/$name" ]; then
    cmp "$work/host/$name" "$work/win/$name" >&2 || problem "$name: the output files differ"
  fi
}

# --- expand: the committed fixtures, fresh compressor output, and damaged files
for compressed in "$data"/szdd_*_; do
  name=$(basename "$compressed")
  both "expand-$name" 0 expand "$compressed" @OUT@
  cmp -s "$work/host/expand-$name" "${compressed%_}" || problem "expand-$name: not the original"
done
mixed_input 31 300000 >"$work/in/fresh.bin"
text_input 32 96000 >"$work/in/fresh.txt"
(cd "$work/in" && mscompress fresh.bin fresh.txt) || fail "mscompress failed"
for name in fresh.bin fresh.txt; do
  both "expand-$name" 0 expand "$work/in/${name}_" @OUT@
  cmp -s "$work/host/expand-$name" "$work/in/$name" || problem "expand-$name: not the original"
done
head -c -7 "$data/szdd_text_70001.txt_" >"$work/in/truncated_"
{ cat "$data/szdd_runs_40000.txt_"; printf '\377junkjunk'; } >"$work/in/trailing_"
printf 'plain text, not compressed' >"$work/in/plain"
both expand-truncated 1 expand "$work/in/truncated_" @OUT@
both expand-trailing 0 expand "$work/in/trailing_" @OUT@
cmp -s "$work/host/expand-trailing" "$data/szdd_runs_40000.txt" || problem "expand-trailing: not the original"
both expand-plain 1 expand "$work/in/plain" @OUT@
for f in truncated_ trailing_ plain; do
  [ -f "$work/in/$f" ] || problem "expand removed its source $f"
done

# --- apply: a patch with every instruction form
old=$data/szdd_text_32000.txt
slice() { tail -c +$(($2 + 1)) "$1" | head -c "$3"; }  # FILE FROM COUNT
u32() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8 & 255)))\\$(printf %03o $(($1 >> 16 & 255)))\\$(printf %03o $(($1 >> 24 & 255)))"; }
{
  printf '\002\350\003A'                            # u16 run of 1000, 'A'
  printf '\377B'                                    # short run of 127, 'B'
  printf '\004\310C'                                # u8 run of 200, 'C'
  printf '\000'; u32 5000; u32 3000; u32 5; u32 100 # block: 3000 from 5000, 5 literals, cursor to 100
  printf 'hello'
  printf '\001'; u32 20000; printf 'D'              # u32 run of 20000, 'D'
  printf '\200E'                                    # run of 0, 'E'
  printf '\000'; u32 0; u32 0; u32 0; u32 31990     # block that only moves the cursor
  printf '\212F'                                    # short run of 10, 'F'
} >"$work/in/body"
{
  slice "$old" 0 1000; printf A
  slice "$old" 1001 127; printf B
  slice "$old" 1129 200; printf C
  slice "$old" 5000 3000; printf hello
  slice "$old" 100 20000; printf D
  printf E
  slice "$old" 31990 10; printf F
} >"$work/in/expected"
sum=$(run_host bytesum "$work/in/expected") || fail "bytesum of the expected file failed"
{ cat "$work/in/body"; u32 $((0x$sum)); } >"$work/in/good.patch"
{ cat "$work/in/body"; u32 $(((0x$sum + 1) & 0xFFFFFFFF)); } >"$work/in/mismatch.patch"
{ printf '\202a\003b'; u32 0; } >"$work/in/malformed.patch"
u32 0 >"$work/in/empty.patch"

both apply-good 0 apply "$old" "$work/in/good.patch" @OUT@
cmp -s "$work/host/apply-good" "$work/in/expected" || problem "apply-good: not the expected new file"
both apply-mismatch 1 apply "$old" "$work/in/mismatch.patch" @OUT@
[ -e "$work/host/apply-mismatch" ] || [ -e "$work/win/apply-mismatch" ] && problem "apply-mismatch: an output that did not verify stayed"
both apply-malformed 1 apply "$old" "$work/in/malformed.patch" @OUT@
both apply-empty 0 apply "$old" "$work/in/empty.patch" @OUT@
[ -f "$work/host/apply-empty" ] && [ ! -s "$work/host/apply-empty" ] || problem "apply-empty: no empty output"

# --- bytesum: signed bytes, text, binary
printf '\377' >"$work/in/ff"
for f in "$work/in/ff" "$work/in/expected" "$data/szdd_mixed_64000.bin" "$work/in/fresh.bin"; do
  both "bytesum-$(basename "$f")" 0 bytesum "$f"
done
[ "$(cat "$work/host/bytesum-ff.stdout")" = ffffffff ] || problem "bytesum of one 0xFF byte is not ffffffff"

# --- verify: a package built on the host with a name outside ASCII, which
# build writes in Windows-1252, turns OLD into NEW on both builds
mkdir -p "$work/in/old/User" "$work/in/new/User"
printf 'old' >"$work/in/old/Pelora9.exe"
printf 'new' >"$work/in/new/Pelora9.exe"
printf 'bonjour' >"$work/in/new/User/café.dat"
run_host build "$work/in/old" "$work/in/new" "$work/in/pkg" --build 1 >/dev/null 2>&1 || problem "build of the package with café.dat failed"
both verify-cafe 0 verify "$work/in/old" "$work/in/new" "$work/in/pkg"
printf 'other' >"$work/in/new/User/café.dat"
both verify-cafe-differs 1 verify "$work/in/old" "$work/in/new" "$work/in/pkg"
grep -qxF 'differs: User\café.dat' "$work/host/verify-cafe-differs.stdout" ||
  problem "verify-cafe-differs: café.dat not named: $(cat "$work/host/verify-cafe-differs.stdout")"

[ "$failures" = 0 ] || fail "$failures checks failed"
echo "the host and Windows builds of plpack agree"
