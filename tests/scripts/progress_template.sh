#!/bin/sh
# The progress window's dialog template as windres compiles it: compiled to
# a .res file and printed back, it must be exactly dialog template 1 (a
# plain DIALOG, no extended style, menu or class, three controls with the
# static class ordinal for the two texts).
# Usage: progress_template.sh BUILD_DIR SOURCE_DIR
set -e
build=$1
source=$2
windres=x86_64-w64-mingw32-windres
if ! command -v $windres >/dev/null 2>&1; then
  echo "progress_template: $windres is not installed" >&2
  exit 1
fi
work=$build/progress_template
mkdir -p "$work"
$windres -I "$source/ui" -i "$source/ui/progress.rc" -O res -o "$work/progress.res"
$windres -i "$work/progress.res" -O rc | sed -n '/DIALOG/,/^END/p' > "$work/actual.rc"
cat > "$work/expected.rc" <<'END_OF_TEMPLATE'
1 DIALOG MOVEABLE PURE DISCARDABLE 20, 20, 186, 55
STYLE 0x10c800c0
CAPTION "Updating Pelora..."
FONT 8, "MS Sans Serif"
BEGIN
  CTEXT "Starting update...", 1, 7, 8, 172, 11, 0x50020001
  CTEXT "", 2, 7, 24, 172, 11, 0x50020001
  CONTROL "Progress1", 3, "MSCTLS_PROGRESS32", 0x50800000, 7, 37, 172, 12
END
END_OF_TEMPLATE
diff -u "$work/expected.rc" "$work/actual.rc"
echo "progress_template: dialog template 1 is as designed"
