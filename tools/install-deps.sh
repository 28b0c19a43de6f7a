#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need; does nothing when all are there.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config python3
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-liberation2 fonts-dejavu-core
  xvfb xauth xdotool x11-utils
  openbox
  desktop-file-utils appstream
  clang libclang-rt-14-dev
  libxcb1-dev libbenchmark-dev
)
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
