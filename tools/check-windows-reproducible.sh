#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds vorandi.exe a second time, from nothing, in another directory and at another time, and
# packs both builds without a signature (a signature carries its own time): the program file and
# the zip must be the same byte for byte. A difference is shown with diffoscope (or cmp and the
# first differing bytes without it) and fails. The installer is compared too, but only reported: wixl stamps the time and a new
# package code into every build (README, Windows).
#   tools/check-windows-reproducible.sh BUILD_DIR QT_PREFIX
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
qt=$2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
again="$build-again"
SOURCE_DATE_EPOCH=$("$here/tools/source-date-epoch.sh")
export SOURCE_DATE_EPOCH

show_difference() {
  if command -v diffoscope > /dev/null; then
    diffoscope --text - "$1" "$2" | head -n 200 || true
  else
    cmp -l "$1" "$2" | wc -l | sed 's/$/ bytes differ/'
    cmp -l "$1" "$2" | head -n 16 | awk '{printf "  at %d: %03o -> %03o\n", $1, $2, $3}'
  fi
}

same() { # what, first, second
  if cmp -s "$2" "$3"; then
    echo "  $1: identical ($(sha256sum < "$2" | cut -c1-16))"
    return 0
  fi
  echo "  $1: DIFFERENT"
  show_difference "$2" "$3"
  return 1
}

echo "Reproducibility: building vorandi.exe again in $again"
rm -rf "$again"
"$qt/bin/qt-cmake" -S "$here" -B "$again" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVORANDI_BUILD_BENCH=OFF -DBUILD_TESTING=OFF > /dev/null
cmake --build "$again" -j "${JOBS:-2}" --target vorandi > /dev/null
unset VORANDI_SIGN_CERT
"$here/tools/package-windows.sh" "$build" "$again/dist-first" > /dev/null
"$here/tools/package-windows.sh" "$again" "$again/dist" > /dev/null

status=0
same vorandi.exe "$build/src/vorandi.exe" "$again/src/vorandi.exe" || status=1
zip="vorandi-$version-windows-x86_64.zip"
same "$zip" "$again/dist-first/$zip" "$again/dist/$zip" || status=1
msi="vorandi-$version-x64.msi"
if ! cmp -s "$again/dist-first/$msi" "$again/dist/$msi"; then
  echo "  $msi: differs in $(cmp -l "$again/dist-first/$msi" "$again/dist/$msi" | wc -l) bytes, as wixl" \
    "always makes it (times and package code); not counted"
fi
[ $status -eq 0 ] && rm -rf "$again"
exit $status
