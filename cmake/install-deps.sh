#!/bin/sh
# Installs, with apt-get, whatever the builds and tests need and the
# machine lacks. Quiet when everything is there already.
set -e
packages="cmake ninja-build g++ make googletest libbenchmark-dev
  g++-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick
  mscompress libmspack-dev libdivsufsort-dev libssl-dev bsdiff xdelta3 util-linux
  python3 e2fsprogs time clang libclang-rt-14-dev"
# Signing released updaters, and the throw-away certificates of its tests.
packages="$packages osslsigncode openssl"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
