#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a static Qt for WebAssembly from Debian's own qt6-base source with Debian's emscripten,
# once per machine. The result is cached outside the clone (VORANDI_WEBQT, default
# ~/.cache/vorandi/qt-<ver>-wasm-<options>); a later run finds it and does nothing. Host tools
# (moc, rcc, uic) come from Debian's Qt. `build-web-qt.sh --prefix` only prints where it goes;
# `build-web-qt.sh --env` prints the environment emcc and Qt's configure need.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tools/qt-from-source.sh"
# Only what the game links: Core, Gui and Widgets with the wasm platform plugin. OpenGL stays on:
# Qt 6.4's wasm backing store draws through WebGL. No threads: they would need cross-origin
# isolation from every web server a school uses.
options=(
  -xplatform wasm-emscripten -qt-host-path /usr
  -release -static -opensource -confirm-license -nomake examples -nomake tests -nomake benchmarks
  -no-feature-thread -no-dbus -no-icu -no-pkg-config
  -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz -qt-doubleconversion
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent
  -no-feature-testlib -no-feature-xml -no-feature-gif -no-feature-jpeg -no-feature-zstd
  -no-feature-textmarkdownreader -no-feature-textmarkdownwriter -no-feature-textodfwriter
  "${unused_qt_features[@]}"
)
tag=$(printf '%s\n' "${options[@]}" | sha256sum | cut -c1-8)
prefix=${VORANDI_WEBQT:-$HOME/.cache/vorandi/qt-$version-wasm-$tag}
jobs=${JOBS:-$(nproc)}
# Qt's configure insists on an emsdk; a small stand-in over Debian's emscripten satisfies it.
emsdk=${VORANDI_EMSDK:-$HOME/.cache/vorandi/emsdk}
print_env() {
  echo "export EMSDK=$emsdk EMSCRIPTEN=/usr/share/emscripten NODE_PATH=/usr/share/nodejs"
}
case "${1:-}" in
  --prefix) echo "$prefix"; exit 0 ;;
  --env) print_env; exit 0 ;;
esac
make_emsdk() {
  mkdir -p "$emsdk/upstream/emscripten"
  echo "EMSCRIPTEN_ROOT = 'upstream/emscripten'" > "$emsdk/.emscripten"
  for tool in /usr/bin/em*; do ln -sf "$tool" "$emsdk/upstream/emscripten/$(basename "$tool")"; done
}
make_emsdk
eval "$(print_env)"
qt_reuse_or_lock "for the web" "$prefix"
"$here/tools/install-deps.sh" web

qt_fetch_source "for the web" webqt

mkdir build && cd build
echo "Qt $version for the web: configuring"
"$srcdir/configure" -prefix "$prefix" "${options[@]}" \
  -- -DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake > configure.log 2>&1 ||
  { tail -n 40 configure.log; exit 1; }
qt_build_and_install "for the web" "$prefix" "$jobs"
