# What the command-line checks share. Sourced after setting $plpack:
#   $work                 a scratch folder, removed at exit
#   fail TEXT             reports a failed check and counts it in $failures
#   run NAME ARGS...      plpack ARGS; exit code in $rc, output in
#                         $work/NAME.out and $work/NAME.err
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failures=$((failures + 1))
}
run() {
  name=$1
  shift
  "$plpack" "$@" >"$work/$name.out" 2>"$work/$name.err"
  rc=$?
}
