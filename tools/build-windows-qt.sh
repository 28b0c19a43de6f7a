#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a static Qt for 64-bit Windows from Debian's own qt6-base source, once per machine.
# The result is cached outside the clone (VORANDI_WINQT, default ~/.cache/vorandi/qt-<ver>-mingw);
# a later run finds it and does nothing. Host tools (moc, rcc, uic) come from Debian's Qt.
# `build-windows-qt.sh --prefix` only prints where the Qt goes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tools/qt-from-source.sh"
# Only what the game links: Core, Gui, Widgets and Test, the windows and offscreen platform
# plugins and the ICO image plugin. Every module, plugin and feature cut here is one the game
# never reaches, and each saves build steps on a cold machine. Direct2D stays: Qt 6.4 builds its
# DirectWrite font database, which the windows plugin always links, only beside Direct2D; but not
# Direct2D 1.1, whose only use is a second platform plugin that compiles the windows plugin's
# sources again. HarfBuzz goes: DirectWrite and GDI give the advances and kerning of the Latin
# text the game shows. FreeType stays for the offscreen plugin the tests run on. The MIME database
# and the file system model go here only: the web's platform plugin and OpenGL widgets need them.
options=(
  -xplatform win32-g++ -qt-host-path /usr
  -release -static -opensource -confirm-license -nomake examples -nomake tests -nomake benchmarks
  -no-opengl -no-dbus -no-icu -qt-zlib -qt-pcre -qt-libpng -qt-freetype -no-harfbuzz
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent
  -no-feature-xml -no-feature-vulkan -no-feature-gif -no-feature-jpeg
  -no-feature-textmarkdownreader -no-feature-textmarkdownwriter -no-feature-textodfwriter
  -no-feature-tabletevent -no-feature-direct2d1_1 "${unused_qt_features[@]}"
  -no-feature-mimetype -no-feature-filesystemmodel
)
# The cache's name carries the options, so a change to them builds a new Qt beside the old one.
tag=$(printf '%s\n' "${options[@]}" | sha256sum | cut -c1-8)
prefix=${VORANDI_WINQT:-$HOME/.cache/vorandi/qt-$version-mingw-$tag}
jobs=${JOBS:-$(nproc)}
if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi
qt_reuse_or_lock "for Windows" "$prefix"
export DEBIAN_FRONTEND=noninteractive

echo "Qt $version for Windows: installing MinGW-w64, Wine and the host Qt tools"
"$here/tools/install-deps.sh" windows

qt_fetch_source "for Windows" winqt

mkdir build && cd build
echo "Qt $version for Windows: configuring (about half a minute)"
"$srcdir/configure" -prefix "$prefix" "${options[@]}" \
  -- -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake > configure.log 2>&1 ||
  { tail -n 40 configure.log; exit 1; }
echo "Qt $version for Windows: building (about a quarter of an hour on 2 cores)"
qt_build_and_install "for Windows" "$prefix" "$jobs"
