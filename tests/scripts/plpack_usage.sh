#!/bin/bash
# What plpack's small commands leave: expand, apply, bytesum.
# Usage: plpack_usage.sh BUILD_DIR SOURCE_DIR
set -u
build_dir=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
plpack=$build_dir/plpack
data=$source_dir/tests/data

[ -x "$plpack" ] || { echo "FAIL: $plpack is missing: build the host build first" >&2; exit 1; }
work=$build_dir/plpack_usage.work
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

failures=0
problem() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Runs plpack; checks its exit code and that stdout or stderr holds TEXT.
expect() {  # EXIT_CODE STREAM TEXT ARGS...
  local code=$1 stream=$2 text=$3; shift 3
  "$plpack" "$@" >"$work/stdout" 2>"$work/stderr"
  local got=$?
  [ "$got" = "$code" ] || problem "plpack $*: exit code $got, expected $code"
  [ -z "$text" ] || grep -q -- "$text" "$work/$stream" || problem "plpack $*: no \"$text\" on $stream: $(cat "$work/$stream")"
}

# expand writes DST and keeps SRC.
cp "$data/szdd_text_32000.txt_" "$work/src_"
expect 0 stdout "" expand "$work/src_" "$work/dst"
cmp -s "$work/dst" "$data/szdd_text_32000.txt" || problem "expand: DST is not the original"
cmp -s "$work/src_" "$data/szdd_text_32000.txt_" || problem "expand: SRC was not left in place"
ls "$work" | grep -q plpack-src && problem "expand left its working copy behind"
# A failed expansion says why and leaves no DST.
head -c 100 "$data/szdd_text_32000.txt_" >"$work/cut_"
expect 1 stderr "cannot expand" expand "$work/cut_" "$work/cut"
[ -e "$work/cut" ] && problem "a failed expand left its DST"
expect 1 stderr "cannot read" expand "$work/missing_" "$work/x"

# apply: a patch that does not verify fails with the reason on stderr.
printf 'old file' >"$work/old"
printf '\202X\0\0\0\0' >"$work/bad.patch"  # "olX", checksum 0
expect 1 stderr "checksum error" apply "$work/old" "$work/bad.patch" "$work/new"
grep -q "was not written" "$work/stderr" || problem "apply: no word on the output file"
[ -e "$work/new" ] && problem "apply left an output that did not verify"
ls "$work" | grep -q plpack-tmp && problem "apply left its temporary file"
[ "$(cat "$work/old")" = "old file" ] || problem "apply changed the old file"
# ... and one that does verifies silently: o + l + X = 0x6F + 0x6C + 0x58.
printf '\202X\063\001\0\0' >"$work/good.patch"
expect 0 stdout "" apply "$work/old" "$work/good.patch" "$work/new"
[ "$(cat "$work/new")" = "olX" ] || problem "apply: wrong new file"

printf '\377' >"$work/ff"
expect 0 stdout "^ffffffff$" bytesum "$work/ff"
expect 1 stderr "cannot read" bytesum "$work/missing"

[ "$failures" = 0 ] || { echo "FAIL: $failures checks failed" >&2; exit 1; }
echo "plpack's command line behaves"
