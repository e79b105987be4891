#!/bin/bash
# Patch makers side by side on real old/new pairs that no one here made:
# successive versions of Windows executables, native Node modules and
# library DLLs shipped in npm packages, fetched with `npm pack` and checked
# against the SHA-256 sums below. Among them: 64-bit executables built by Go
# and by a C++ compiler, 32-bit ones by a C++ compiler, native Node modules
# of both widths, and the DLLs of an image library (one of them 18 MB).
#
# For each pair: plpack diff (patch size raw and SZDD-compressed, time,
# peak memory), bsdiff and xdelta3 -9 (patch size, time, memory), and the
# time to apply each patch (plpack apply, bspatch, xdelta3 -d). Then the
# goals: plpack's compressed patches no larger than xdelta3's on any pair
# and at most 0.9 times xdelta3's in total, none larger than the compressed
# new file, at least 2 MB/s of new data, plpack diff's peak memory at most
# 6 times the old file (on old files of 8 MB or more), and expand + apply
# faster than bspatch on every pair.
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
rcedit-ia32|rcedit|4.0.1|5.0.0|bin/rcedit.exe|a4ccc63aa48137a1c05e9069c8f744103cb907593eb8f902d873bfceb19089eb|38fb5e935d7cb58d7a98b4ed8f876c83f5db032bcd0329b0a4de4e4a1de876b6
watcher-x64|@parcel/watcher-win32-x64|2.4.1|2.5.0|watcher.node|70cd605051b41630acfac0ea7e322ef83508e0222936ba5a185edebf518befbf|762e91bd7f94f79ad295a7243504cfcf8ea7ad444fa1620e90e900e3da98e54d
sharp-ia32|@img/sharp-win32-ia32|0.33.4|0.33.5|lib/sharp-win32-ia32.node|213f44ce97add8dbaed2091d9faa8b2c6063cc6ddb1ccbe289d6503fbe748c4e|2765dafb69764d5a554b9ad71ed83d9df6f7b7158e782c21397e8815f405f9f4
vips-cpp|@img/sharp-win32-ia32|0.33.4|0.33.5|lib/libvips-cpp.dll|3e2c8cf3d3f0d8859528aad1f47123d5a302fe494aafbc1f4a8d2b9b5cf1d426|0749a11cbd56383c26fb40f64d655ebb9fe253729deb743eaffed88a4102c946
vips-42|@img/sharp-win32-ia32|0.33.4|0.33.5|lib/libvips-42.dll|0aa81a5101a4c960009c0a576e5502b64df4fa4bfe9c8e9e11bbf980ace04161|3db54701aba8c009e41bc81466006d32c0d542451e321857e41149061a08f206
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
total_bsdiff=0
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

  old_size=$(size "$d/old")
  total_bsdiff=$((total_bsdiff + bsdiff_size))
  # Ratios: plpack's compressed patch and bsdiff's to xdelta3's, plpack
  # diff's peak memory to the old file.
  vs_xdelta=$(awk -v a="$szdd" -v b="$xdelta_size" 'BEGIN { printf "%.3f", a / b }')
  bsdiff_vs_xdelta=$(awk -v a="$bsdiff_size" -v b="$xdelta_size" 'BEGIN { printf "%.3f", a / b }')
  memory=$(awk -v m="$diff_kb" -v o="$old_size" 'BEGIN { printf "%.1f", m * 1024 / o }')

  rows+=("$(printf '%-11s %9s %9s %9s %9s %9s %9s | %6s %6s | %6s %6s %6s | %6s %6s %6s %5s | %6s %6s %6s %6s' \
    "$name" "$new_size" "$new_szdd" "$raw" "$szdd" "$bsdiff_size" "$xdelta_size" "$vs_xdelta" "$bsdiff_vs_xdelta" \
    "$diff_s" "$bsdiff_s" "$xdelta_s" "$((diff_kb / 1024))" "$((bsdiff_kb / 1024))" "$((xdelta_kb / 1024))" "$memory" \
    "$apply_s" "$expand_s" "$bspatch_s" "$xdelta_apply_s")")

  [ "$szdd" -le "$xdelta_size" ] || goals_missed+=("$name: compressed patch $szdd > xdelta3 -9's $xdelta_size")
  # Only on large files: plpack's own start takes about 5 MB.
  [ "$old_size" -lt 8000000 ] || awk -v m="$memory" 'BEGIN { exit !(m <= 6.0) }' ||
    goals_missed+=("$name: plpack diff's peak memory ${memory} times the old file > 6")
  [ "$szdd" -le "$new_szdd" ] || goals_missed+=("$name: compressed patch $szdd > compressed new file $new_szdd")
  awk -v r="$rate" 'BEGIN { exit !(r >= 2.0) }' || goals_missed+=("$name: generation $rate MB/s < 2 MB/s")
  # The updater expands the SZDD patch before it applies it; bspatch
  # decompresses its patch itself.
  awk -v a="$apply_s" -v e="$expand_s" -v b="$bspatch_s" 'BEGIN { exit !(a + e < b) }' ||
    goals_missed+=("$name: plpack expand + apply ${expand_s}s + ${apply_s}s not faster than bspatch ${bspatch_s}s")
  echo "$name: ${rate} MB/s of new data" >&2
done <<<"$pairs"
awk -v a="$total_szdd" -v b="$total_xdelta" 'BEGIN { exit !(a <= 0.9 * b) }' ||
  goals_missed+=("total: plpack SZDD patches $total_szdd bytes > 0.9 times xdelta3 -9's $total_xdelta bytes")

echo
echo "Sizes in bytes, times in seconds (wall), memory in MB (peak resident);"
echo "/xd3: compressed patch to xdelta3 -9's; m/old: plpack diff's peak memory to the old file."
printf '%-11s %9s %9s %9s %9s %9s %9s | %6s %6s | %6s %6s %6s | %6s %6s %6s %5s | %6s %6s %6s %6s\n' \
  pair new new.szdd plpack plp.szdd bsdiff xdelta3 plp/xd3 bsd/xd3 t.plp t.bsd t.xd3 m.plp m.bsd m.xd3 m/old \
  apply expand bspat xd3-d
for row in "${rows[@]}"; do echo "$row"; done
awk -v p="$total_szdd" -v b="$total_bsdiff" -v x="$total_xdelta" 'BEGIN {
  printf "total: plpack SZDD patches %d bytes, bsdiff %d, xdelta3 -9 %d; plpack/xdelta3 %.3f, bsdiff/xdelta3 %.3f, bsdiff/plpack %.3f\n",
    p, b, x, p / x, b / x, b / p }'
echo
if [ "${#goals_missed[@]}" -eq 0 ]; then
  echo "All goals met."
else
  echo "Goals missed:"
  printf '  %s\n' "${goals_missed[@]}"
fi
