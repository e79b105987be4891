#!/bin/sh
# Makes the SZDD fixtures of the expansion tests: seeded inputs (see
# tests/support/inputs.sh) and their compressed forms, NAME_, made by
# mscompress. The outputs are committed; run this again only to change them.
# Inputs shorter than 17 bytes are built by hand in the tests instead:
# mscompress does not compress them faithfully.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/inputs.sh"
command -v mscompress >/dev/null || { echo "mscompress is not installed (Debian package mscompress)" >&2; exit 1; }

cd "$here"
make_fixture() {  # NAME GENERATOR SEED SIZE
  "$2" "$3" "$4" >"$1"
  rm -f "$1_"
  mscompress "$1"
  [ -f "$1_" ] || { echo "mscompress made no $1_" >&2; exit 1; }
}

make_fixture szdd_random_17.bin random_input 17 17
make_fixture szdd_random_4099.bin random_input 4099 4099
make_fixture szdd_text_32000.txt text_input 32000 32000
make_fixture szdd_mixed_64000.bin mixed_input 64000 64000
make_fixture szdd_runs_40000.txt runs_input 40000 40000
make_fixture szdd_text_70001.txt text_input 70001 70001
# Leading spaces: the encoder may take them from the window's initial spaces.
{ printf '%300s' ''; text_input 2000 1700; } >szdd_spaces_2000.txt
rm -f szdd_spaces_2000.txt_
mscompress szdd_spaces_2000.txt
ls -l szdd_*
