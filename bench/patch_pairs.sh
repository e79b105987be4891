#!/bin/bash
# Patch makers side by side on real old/new pairs that no one here made:
# successive versions of Windows executables shipped in npm packages,
# fetched with `npm pack` and checked against the SHA-256 sums below.
#
# For each pair: plpack diff (patch size raw and SZDD-compressed, time,
# peak memory), bsdiff and xdelta3 -9 (patch size, time, memory), and the
# time to apply each patch (plpack apply, bspatch, xdelta3 -d). Then the
# goals: plpack's compressed patches no larger in total than xdelta3's,
# none larger than the compressed new file, at least 2 MB/s of new data,
# and expand + apply faster than bspatch on every pair.
#
# Usage: bench/patch_pairs.sh BUILD_DIR   (a host build with plpack)
# The downloads are kept in BUILD_DIR/bench-patches/cache.
set -euo pipefail
build=$(cd "${1:?usage: patch_pairs.sh BUILD_DIR}" && pwd)
plpack=$build/plpack
[ -x "$plpack" ] || { echo "patch_pairs.sh: $plpack is missing: build the host build first" >&2; exit 1; }
for tool in npm bsdiff bspatch xdelta3 /usr/bin/time sha256sum; do
  command -v "$tool" >/dev/null || { echo "patch_pairs.sh: $tool is not installed" >&2; exit 1; }
done
cache=$build/bench-patches/cache
work=$build/bench-patches/work
mkdir -p "$cache"
rm -rf "$work"
mkdir -p "$work"

# name | package | old version | new version | file in the package | old sum | new sum
pairs="
esbuild-0.19|@esbuild/win32-x64|0.19.11|0.19.12|esbuild.exe|b2e129cdcf6481b65924db656f03ef20865e9beeb08ee4324bff1590af29ffc6|1c9b2c93322b4a6c86b3cd6d3bd6003ceb621e97ce31683fa18c310d0a542449
esbuild-0.20|@esbuild/win32-x64|0.20.1|0.20.2|esbuild.exe|21b07f6762fa53e769f375ee85589165289db3251b7bf4ec0c6c795f682308cc|97d7dc3249f0051a999e1e3f554280e4a4ea2144c00e0839cb9954bb37c90963
7za-x64|7zip-bin|5.1.1|5.2.0|win/x64/7za.exe|8117e40ee7f824f63373a4f5625bb62749f69159d0c449b3ce2f35aad3b83549|b0cfdeaf429f5cc53f85123dd8f5a5feb92c19d31aa34df257edf9a26be05f95
7za-ia32|7zip-bin|5.1.1|5.2.0|win/ia32/7za.exe|ea308c76a2f927b160a143d94072b0dce232e04b751f0c6432a94e05164e716d|31fd52f8996986623cf52c3b4d0f7ac74a9dec63fc16c902cef673eed550c435
"

# fetch PACKAGE VERSION FILE SUM DEST: the file out of the package's tarball
fetch() {
  local package=$1 version=$2 file=$3 sum=$4 dest=$5
  local folder=$cache/${package//[@\/]/_}-$version
  if [ ! -d "$folder/package" ]; then
    mkdir -p "$folder"
    (cd "$folder" && npm pack --silent "$package@$version" >/dev/null && tar xzf ./*.tgz)
  fi
  echo "$sum  $folder/package/$file" | sha256sum --check --quiet ||
    { echo "patch_pairs.sh: $package@$version $file is not the file recorded" >&2; exit 1; }
  cp "$folder/package/$file" "$dest"
}

# measure NAME COMMAND...: runs it under /usr/bin/time; seconds and peak KB
# in ${NAME}_s and ${NAME}_kb
measure() {
  local name=$1
  shift
  local start=$EPOCHREALTIME
  /usr/bin/time -f '%M' -o "$work/time" "$@" >/dev/null
  local end=$EPOCHREALTIME
  read -r kb <"$work/time"
  printf -v "${name}_s" '%.3f' "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')"
  printf -v "${name}_kb" '%s' "$kb"
}

size() { stat -c %s "$1"; }

rows=()
total_szdd=0
total_xdelta=0
goals_missed=()
while IFS='|' read -r name package old_version new_version file old_sum new_sum; do
  [ -n "$name" ] || continue
  d=$work/$name
  mkdir -p "$d"
  fetch "$package" "$old_version" "$file" "$old_sum" "$d/old"
  fetch "$package" "$new_version" "$file" "$new_sum" "$d/new"
  new_size=$(size "$d/new")

  measure diff "$plpack" diff "$d/old" "$d/new" "$d/patch"
  "$plpack" compress "$d/patch" "$d/patch.szdd"
  "$plpack" compress "$d/new" "$d/new.szdd"
  measure bsdiff bsdiff "$d/old" "$d/new" "$d/patch.bsdiff"
  measure xdelta xdelta3 -9 -f -e -s "$d/old" "$d/new" "$d/patch.xdelta"

  measure apply "$plpack" apply "$d/old" "$d/patch" "$d/out.plpack"
  measure expand "$plpack" expand "$d/patch.szdd" "$d/patch.expanded"
  measure bspatch bspatch "$d/old" "$d/out.bspatch" "$d/patch.bsdiff"
  measure xdelta_apply xdelta3 -f -d -s "$d/old" "$d/patch.xdelta" "$d/out.xdelta"
  for out in out.plpack out.bspatch out.xdelta; do
    cmp -s "$d/new" "$d/$out" || { echo "patch_pairs.sh: $name: $out is not the new file" >&2; exit 1; }
  done
  cmp -s "$d/patch" "$d/patch.expanded" || { echo "patch_pairs.sh: $name: the SZDD patch does not expand back" >&2; exit 1; }

  raw=$(size "$d/patch")
  szdd=$(size "$d/patch.szdd")
  new_szdd=$(size "$d/new.szdd")
  bsdiff_size=$(size "$d/patch.bsdiff")
  xdelta_size=$(size "$d/patch.xdelta")
  total_szdd=$((total_szdd + szdd))
  total_xdelta=$((total_xdelta + xdelta_size))
  rate=$(awk -v b="$new_size" -v s="$diff_s" 'BEGIN { printf "%.1f", (s > 0 ? b / 1e6 / s : 999) }')

  rows+=("$(printf '%-10s %9s %9s %9s %9s %9s %9s | %6s %6s %6s | %6s %6s %6s | %6s %6s %6s %6s' \
    "$name" "$new_size" "$new_szdd" "$raw" "$szdd" "$bsdiff_size" "$xdelta_size" \
    "$diff_s" "$bsdiff_s" "$xdelta_s" "$((diff_kb / 1024))" "$((bsdiff_kb / 1024))" "$((xdelta_kb / 1024))" \
    "$apply_s" "$expand_s" "$bspatch_s" "$xdelta_apply_s")")

  [ "$szdd" -le "$new_szdd" ] || goals_missed+=("$name: compressed patch $szdd > compressed new file $new_szdd")
  awk -v r="$rate" 'BEGIN { exit !(r >= 2.0) }' || goals_missed+=("$name: generation $rate MB/s < 2 MB/s")
  # The updater expands the SZDD patch before it applies it; bspatch
  # decompresses its patch itself.
  awk -v a="$apply_s" -v e="$expand_s" -v b="$bspatch_s" 'BEGIN { exit !(a + e < b) }' ||
    goals_missed+=("$name: plpack expand + apply ${expand_s}s + ${apply_s}s not faster than bspatch ${bspatch_s}s")
  echo "$name: ${rate} MB/s of new data" >&2
done <<<"$pairs"
[ "$total_szdd" -le "$total_xdelta" ] ||
  goals_missed+=("total: plpack SZDD patches $total_szdd bytes > xdelta3 -9 $total_xdelta bytes")

echo
echo "Sizes in bytes, times in seconds (wall), memory in MB (peak resident)."
printf '%-10s %9s %9s %9s %9s %9s %9s | %6s %6s %6s | %6s %6s %6s | %6s %6s %6s %6s\n' \
  pair new new.szdd plpack plp.szdd bsdiff xdelta3 t.plp t.bsd t.xd3 m.plp m.bsd m.xd3 apply expand bspat xd3-d
for row in "${rows[@]}"; do echo "$row"; done
echo "total: plpack SZDD patches $total_szdd bytes, xdelta3 -9 $total_xdelta bytes"
echo
if [ "${#goals_missed[@]}" -eq 0 ]; then
  echo "All goals met."
else
  echo "Goals missed:"
  printf '  %s\n' "${goals_missed[@]}"
fi
