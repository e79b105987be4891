# Seeded inputs for the compression tests, the same on every machine.
# Sourced by tests/data/make_szdd_fixtures.sh and tests/scripts/*.sh.
#   random_input SEED N   N incompressible bytes
#   text_input SEED N     N bytes of words and lines (compresses well)
#   runs_input SEED N     N bytes of runs of one character (long matches)
#   mixed_input SEED N    N bytes of text, noise and repeats of both

random_input() {
  head -c "$2" /dev/zero |
    openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$1")" -iv 00000000000000000000000000000000
}

# A Park-Miller generator: exact in any awk's doubles.
_awk_input() {
  awk -v seed="$1" -v n="$2" -v kind="$3" '
    function next_random() { state = (state * 16807) % 2147483647; return state }
    BEGIN {
      state = seed % 2147483646 + 1
      split("Pelora layer brush symbol filter drawing page the a of to and in 0000 colour ink", words, " ")
      out = ""
      while (length(out) < n) {
        if (kind == "text") {
          line = ""
          count = next_random() % 12 + 1
          for (i = 0; i < count; i++) line = line words[next_random() % 16 + 1] " "
          out = out line "\r\n"
        } else {
          c = substr("ab xyz.-=0123456789", next_random() % 19 + 1, 1)
          count = next_random() % 300 + 1
          run = ""
          for (i = 0; i < count; i++) run = run c
          out = out run
        }
      }
      printf "%s", substr(out, 1, n)
    }'
}

text_input() { _awk_input "$1" "$2" text; }
runs_input() { _awk_input "$1" "$2" runs; }

mixed_input() {
  _seed=$1 _left=$2 _tmp=$(mktemp)
  while [ "$_left" -gt 0 ]; do
    _seed=$((_seed + 1))
    case $((_seed % 3)) in
      0) text_input "$_seed" 3000 ;;
      1) random_input "$_seed" 700 ;;
      2) tail -c 2500 "$_tmp" ;;  # a repeat of what came shortly before
    esac >>"$_tmp"
    _left=$(($2 - $(wc -c <"$_tmp")))
  done
  head -c "$2" "$_tmp"
  rm -f "$_tmp"
}
