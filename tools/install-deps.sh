#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages a task needs; does nothing when all are there.
#   tools/install-deps.sh run       building and playing the game
#   tools/install-deps.sh [test]    everything `make test` uses (the default)
#   tools/install-deps.sh windows   the Windows cross-build and Wine
#   tools/install-deps.sh deb       building and checking the Debian package
#   tools/install-deps.sh web       the WebAssembly build and the browser it is tested in
set -euo pipefail
run=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-liberation2 fonts-dejavu-core
)
test=(
  "${run[@]}" python3 clang-format
  xvfb xauth xdotool x11-utils openbox
  desktop-file-utils appstream
  clang libclang-rt-14-dev
  libxcb1-dev libxcb-damage0-dev libbenchmark-dev
  at-spi2-core python3-pyatspi dbus dbus-x11
  orca speech-dispatcher speech-dispatcher-espeak-ng
)
windows=(
  "${run[@]}" g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 zip unzip dpkg-dev
  xvfb xauth xdotool x11-utils x11-xkb-utils openbox python3
  wixl msitools fonts-wine diffoscope-minimal osslsigncode openssl
)
# The package's build (dpkg-buildpackage also asks for build-essential), lintian, its test on a
# display, and diffoscope for two builds that differ.
deb=("${run[@]}" build-essential dpkg-dev debhelper lintian file xvfb xauth xdotool
     diffoscope-minimal)
web=("${run[@]}" emscripten nodejs chromium python3-websocket python3 python3-pil zip fonttools)
case "${1:-test}" in
  run) packages=("${run[@]}") ;;
  test) packages=("${test[@]}") ;;
  windows) packages=("${windows[@]}") ;;
  deb) packages=("${deb[@]}") ;;
  web) packages=("${web[@]}") ;;
  *) echo "usage: $0 [run|test|windows|deb|web]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
