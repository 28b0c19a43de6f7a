#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a static Qt for 64-bit Windows from Debian's own qt6-base source, once per machine.
# The result is cached outside the clone (VORANDI_WINQT, default ~/.cache/vorandi/qt-<ver>-mingw);
# a later run finds it and does nothing. Host tools (moc, rcc, uic) come from Debian's Qt.
# `build-windows-qt.sh --prefix` only prints where the Qt goes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null | sed 's/+.*//; s/-.*//')
version=${version:-6.4.2}
# Only what the game links: Core, Gui, Widgets and Test, the windows and offscreen platform
# plugins and the ICO image plugin. Every module, plugin and feature cut here is one the game
# never reaches, and each saves build steps on a cold machine. Direct2D stays: Qt 6.4 builds its
# DirectWrite font database, which the windows plugin always links, only beside Direct2D.
options=(
  -xplatform win32-g++ -qt-host-path /usr
  -release -static -opensource -confirm-license -nomake examples -nomake tests -nomake benchmarks
  -no-opengl -no-dbus -no-icu -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent
  -no-feature-xml -no-feature-vulkan -no-feature-gif -no-feature-jpeg
  -no-feature-textmarkdownreader -no-feature-textmarkdownwriter -no-feature-textodfwriter
  -no-feature-tabletevent
)
# The cache's name carries the options, so a change to them builds a new Qt beside the old one.
tag=$(printf '%s\n' "${options[@]}" | sha256sum | cut -c1-8)
prefix=${VORANDI_WINQT:-$HOME/.cache/vorandi/qt-$version-mingw-$tag}
jobs=${JOBS:-$(nproc)}
if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi
# Two builds started at once (two make targets, two clones) wait for each other: the second
# then finds the first one's Qt instead of building into the same folder.
mkdir -p "$(dirname "$prefix")"
exec 9> "$prefix.lock"
flock 9
if [ -x "$prefix/bin/qt-cmake" ] && [ -f "$prefix/.complete" ]; then
  echo "Qt $version for Windows: reusing $prefix"
  exit 0
fi
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

echo "Qt $version for Windows: installing MinGW-w64, Wine and the host Qt tools"
"$here/tools/install-deps.sh" windows

# apt-get source needs a deb-src entry for the archive this machine already uses.
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "Qt $version for Windows: adding a deb-src entry for the machine's own Debian archive"
  src=/etc/apt/sources.list.d/vorandi-deb-src.sources
  sed -n '/^Types:/,/^$/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null |
    sed 's/^Types:.*/Types: deb-src/' | "${sudo[@]}" tee "$src" > /dev/null
  [ -s "$src" ] || echo "deb-src http://deb.debian.org/debian bookworm main" | "${sudo[@]}" tee "$src" > /dev/null
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vorandi-winqt.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "Qt $version for Windows: fetching Debian's qt6-base source into $work"
apt-get source --download-only -qq "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)" ||
  apt-get source --download-only -qq qt6-base
tar xf qt6-base_*.orig.tar.*
srcdir=$(find . -maxdepth 1 -type d -name 'qtbase-everywhere-src-*' | head -n1)

mkdir build && cd build
echo "Qt $version for Windows: configuring (about half a minute)"
"../$srcdir/configure" -prefix "$prefix" "${options[@]}" \
  -- -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake > configure.log 2>&1 ||
  { tail -n 40 configure.log; exit 1; }
echo "Qt $version for Windows: building (about a quarter of an hour on 2 cores)"
steps=$(ninja -n 2>/dev/null | grep -c '^\[' || true)
echo "Qt $version for Windows: $steps build steps"
start=$(date +%s)
cmake --build . --parallel "$jobs" > build.log 2>&1 || { tail -n 60 build.log; exit 1; }
cmake --install . > install.log 2>&1 || { tail -n 40 install.log; exit 1; }
touch "$prefix/.complete"
echo "Qt $version for Windows: built in $(( ($(date +%s) - start) / 60 )) min"
echo "Qt $version for Windows: installed in $prefix ($(du -sh "$prefix" | cut -f1))"
