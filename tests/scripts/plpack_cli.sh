#!/bin/bash
# plpack's command line, one case per line: the exit code (0 done, 1
# failed, 2 usage error) and the words that must appear in what it prints.
# Help goes to stdout with an example; every usage error names the bad
# argument; a path that is missing or of the wrong kind is named with the
# reason.
# Usage: plpack_cli.sh BUILD_DIR SOURCE_DIR
set -u
plpack=$(cd "$1" && pwd)/plpack
. "$2/tests/support/checks.sh"
[ -x "$plpack" ] || { echo "FAIL: $plpack is missing: build the host build first" >&2; exit 1; }

# Fixtures: a file, a folder, and installations OLD and NEW.
mkdir -p "$work/folder" "$work/old" "$work/new"
printf 'x' >"$work/file"
printf 'old' >"$work/old/Pelora9.exe"
printf 'new' >"$work/new/Pelora9.exe"

# EXIT | STREAM | WORDS | ARGUMENTS (split at blanks; @ is the scratch
# folder, which is also the current folder)
cases=$(cat <<'END'
2 | err | no command given                             |
0 | out | Exit status: 0 done, 1 failed, 2 usage error  | --help
0 | out | usage: plpack COMMAND                         | -h
0 | out | usage: plpack COMMAND                         | help
0 | out | plpack 1.1                                    | --version
2 | err | no command named 'frobnicate'                 | frobnicate
2 | err | unknown option --frobnicate                   | --frobnicate
2 | err | no command named 'nope'                       | help nope
0 | out | Example: plpack build old new pkg --build 910 | help build
0 | out | Example: plpack build old new pkg --build 910 | build --help
0 | out | Example: plpack verify old new pkg            | verify --help
0 | out | Example: plpack inspect pkg                   | inspect --help
0 | out | Example: plpack release old new --build 910 --updater PLUpdate.exe | release --help
0 | out | print the outcome as one JSON object          | help release
0 | out | Example: plpack attach                        | attach -h
0 | out | Example: plpack manifest                      | manifest --help
0 | out | Example: plpack expand                        | expand --help
0 | out | Example: plpack compress                      | compress --help
0 | out | Example: plpack diff                          | diff --help
0 | out | Example: plpack apply                         | apply --help
0 | out | Example: plpack bytesum                       | bytesum --help
0 | out | usage: plpack build OLD NEW OUT               | build @/old @/new @/pkg --help
2 | err | --build wants a build number from 0 to 2147483647, not 'abc' | build @/old @/new @/pkg --build abc
2 | err | --build wants a build number from 0 to 2147483647, not '-1'  | build @/old @/new @/pkg --build -1
2 | err | --jobs wants a number of jobs from 1 to 256, not '0'         | build @/old @/new @/pkg --jobs 0
2 | err | unknown option --frobnicate                   | build @/old @/new @/pkg --frobnicate
2 | err | --build needs a value                         | build @/old @/new @/pkg --build
2 | err | --dict-old needs --dict-new                   | build @/old @/new @/pkg --build 1 --dict-old @/old
2 | err | build takes three folders, OLD NEW OUT, not 2 | build @/old @/new
2 | err | build takes three folders, OLD NEW OUT, not 4 | build @/old @/new @/pkg @/more
2 | err | usage: plpack build OLD NEW OUT               | build
2 | err | verify takes three folders, OLD NEW PACKAGE, not 2 | verify @/old @/new
2 | err | unknown option --jobs                         | verify @/old @/new @/pkg --jobs 2
2 | err | --dict-new needs --dict-old                   | verify @/old @/new @/pkg --dict-new @/new
2 | err | unknown option --frobnicate                   | release @/old @/new --build 1 --updater @/file -o @/out --frobnicate
2 | err | --build wants a build number from 0 to 2147483647, not 'abc' | release @/old @/new --build abc --updater @/file -o @/out
2 | err | --code-page wants 1250, 1251 or 1252, not '437' | release @/old @/new --build 1 --updater @/file -o @/out --code-page 437
2 | err | --updater needs a value                       | release @/old @/new --build 1 -o @/out --updater
2 | err | release takes two folders, OLD NEW, not 1     | release @/old --build 1 --updater @/file -o @/out
2 | err | release takes two folders, OLD NEW, not 3     | release @/old @/new @/folder --build 1 --updater @/file -o @/out
2 | err | release needs --build N                       | release @/old @/new --updater @/file -o @/out
2 | err | release needs --updater EXE                   | release @/old @/new --build 1 -o @/out
2 | err | release needs -o OUT                          | release @/old @/new --build 1 --updater @/file
2 | err | --dict-old needs --dict-new                   | release @/old @/new --build 1 --updater @/file -o @/out --dict-old @/old
2 | err | --sign-key needs --sign-cert                  | release @/old @/new --build 1 --updater @/file -o @/out --sign-key @/file
2 | err | --timestamp needs --sign-cert                 | release @/old @/new --build 1 --updater @/file -o @/out --timestamp http://ts.example
2 | err | usage: plpack release OLD NEW --build N       | release
2 | err | expand takes 2 arguments (SRC DST), not 1     | expand @/file
2 | err | apply takes 3 arguments (OLD PATCH OUT), not 2 | apply @/file @/file
2 | err | bytesum takes 1 argument (FILE), not 2        | bytesum @/file @/file
2 | err | unknown option --bogus                        | inspect --bogus
2 | err | inspect takes 1 argument                      | inspect
2 | err | manifest takes 1 argument                     | manifest
2 | err | unknown option -x                             | compress -x @/file
1 | err | the OLD folder @/missing cannot be opened: No such file or directory | build @/missing @/new @/pkg --build 1
1 | err | the OLD folder @/file is a file, not a folder  | build @/file @/new @/pkg --build 1
1 | err | the NEW folder new/Pelora9.exe is a file, not a folder | build old new/Pelora9.exe pkg --build 1
1 | err | the NEW folder @/folder has no Pelora9.exe     | build @/old @/folder @/pkg --build 1
1 | err | @/new/pkg is inside the NEW folder @/new       | build @/old @/new @/new/pkg --build 1
1 | err | @/file is a file, not a folder                | build @/old @/new @/file --build 1
1 | err | the folder @/missing that is to hold @/missing/pkg cannot be opened | build @/old @/new @/missing/pkg --build 1
1 | err | cannot read the updater @/missing.exe: No such file or directory | release @/old @/new --build 1 --updater @/missing.exe -o @/out
1 | err | the updater @/folder is a folder, not a file  | release @/old @/new --build 1 --updater @/folder -o @/out --json
1 | err | release stopped at the build step; @/out was not written | release @/missing @/new --build 1 --updater @/file -o @/out
1 | out | "released": false, "output": "@/out", "stopped_at": "build" | release @/old @/folder --build 1 --updater @/file -o @/out --json
1 | err | the NEW folder @/file is a file, not a folder  | verify @/old @/file @/pkg
1 | err | the PACKAGE folder missing cannot be opened    | verify old new missing
1 | err | cannot read @/folder/manifest.ini: No such file or directory | verify @/old @/new @/folder
1 | err | cannot read missing: No such file or directory | inspect missing
1 | err | cannot read @/folder/status.ini: No such file or directory | inspect @/folder
1 | err | @/file carries no update package               | inspect @/file
1 | err | folder is a folder, not a file                | bytesum folder
1 | err | cannot read @/missing: No such file or directory | bytesum @/missing
1 | err | @/folder is a folder, not a file              | expand @/folder @/out
1 | err | cannot read missing: No such file or directory | expand missing out
1 | err | @/folder is a folder, not a file              | manifest @/folder
1 | err | cannot read @/missing: No such file or directory | manifest @/missing
1 | err | @/folder is a folder, not a file              | compress @/folder @/out
1 | err | cannot read @/missing: No such file or directory | diff @/missing @/file @/out
1 | err | cannot read @/missing: No such file or directory | apply @/missing @/file @/out
END
)

while IFS='|' read -r code stream words arguments; do
  code=$(echo $code) stream=$(echo $stream) words=$(echo $words)
  args=${arguments//@/$work} words=${words//@/$work}
  # shellcheck disable=SC2086
  (cd "$work" && "$plpack" $args) >"$work/case.out" 2>"$work/case.err"
  rc=$?
  # Paths are named as typed on this system, never in Wine's form.
  grep -q 'Z:\\' "$work/case.out" "$work/case.err" && fail "plpack$arguments: a path in its Windows form: $(cat "$work/case.err")"
  [ "$rc" = "$code" ] || fail "plpack$arguments: exit $rc, expected $code: $(cat "$work/case.err")"
  grep -qF -- "$words" "$work/case.$stream" ||
    fail "plpack$arguments: no '$words' on std$stream: $(cat "$work/case.$stream")"
  # Help and the version go to stdout alone; a usage error says no more
  # than its problem and the usage on stderr.
  if [ "$code" = 0 ]; then
    [ ! -s "$work/case.err" ] || fail "plpack$arguments: wrote to stderr: $(cat "$work/case.err")"
  elif [ "$code" = 2 ]; then
    [ ! -s "$work/case.out" ] || fail "plpack$arguments: wrote to stdout: $(cat "$work/case.out")"
  fi
done <<<"$cases"
[ ! -e "$work/pkg" ] && [ ! -e "$work/new/pkg" ] && [ ! -e "$work/out" ] || fail "a refused command wrote its output"
ls "$work" "$work/new" | grep -q plpack- && fail "a refused command left a folder behind"

[ "$failures" -eq 0 ] || exit 1
echo "plpack's command line: all cases passed"
