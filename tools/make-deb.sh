#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package vorandi_<version>_<arch>.deb: a release build installed under /usr
# with the program in /usr/games, staged, documented, and wrapped with dpkg-deb.
#   tools/make-deb.sh [build directory (build-deb)] [output directory (.)]
# DEB_MAINTAINER names the package's maintainer.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$src/build-deb}")
out=$(realpath -m "${2:-$src}")
maintainer=${DEB_MAINTAINER:-Vorandi developers <vorandi@example.org>}
meta=$src/packaging/debian

# Debian's compiler and linker flags (hardening among them), and a program without tests.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DVORANDI_INSTALL_BINDIR=games -DBUILD_TESTING=OFF -DVORANDI_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  > /dev/null
cmake --build "$build" -j "$(nproc)" --target vorandi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
date=$(sed -n 's/^set(VORANDI_RELEASE_DATE \(.*\))$/\1/p' "$src/CMakeLists.txt")
arch=$(dpkg --print-architecture)

pkg=$build/package
stage=$pkg/debian/vorandi
rm -rf "$pkg"
DESTDIR=$stage cmake --install "$build" > /dev/null
# As Debian's own packages are stripped: no debugging data, no compiler notes.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$stage/usr/games/vorandi"
doc=$stage/usr/share/doc/vorandi
install -d "$doc" "$stage/usr/share/lintian/overrides"
install -m 644 "$meta/copyright" "$doc/copyright"
install -m 644 "$meta/lintian-overrides" "$stage/usr/share/lintian/overrides/vorandi"
# A native package's changelog.gz is read as a Debian changelog: this release's entry of
# CHANGELOG.md, each bullet joined and wrapped within Debian's 80 columns.
{
  echo "vorandi ($version) unstable; urgency=medium"
  echo
  awk -v v="$version" '
    function flush() { if (text != "") wrap(text); text = "" }
    function wrap(t,   n, w, i, line) {
      n = split(t, w, " "); line = "  *"
      for (i = 1; i <= n; i++) {
        if (length(line) + 1 + length(w[i]) > 78) { print line; line = "   " }
        line = line " " w[i]
      }
      print line
    }
    $1 == "##" { flush(); on = ($2 == v); next }
    on && /^- / { flush(); text = substr($0, 3); next }
    on && /^  / { text = text " " substr($0, 3); next }
    { flush() }
    END { flush() }' "$src/CHANGELOG.md"
  echo
  echo " -- $maintainer  $(LC_ALL=C date -u -R -d "$date 12:00")"
} > "$doc/changelog"
gzip -9n "$doc/changelog" "$stage/usr/share/man/man6/vorandi.6"
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
chmod 755 "$stage/usr/games/vorandi"

# Dependencies from the libraries the program links; dpkg-shlibdeps reads debian/control and
# expects the staged files in debian/<package>, beside their DEBIAN directory.
mkdir -p "$stage/DEBIAN"
printf 'Source: vorandi\n\nPackage: vorandi\nArchitecture: any\n' > "$pkg/debian/control"
depends=$(cd "$pkg" && dpkg-shlibdeps -O -e"debian/vorandi/usr/games/vorandi" |
  sed -n 's/^shlibs:Depends=//p')

(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@MAINTAINER@/$maintainer/" \
  -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" "$meta/control.in" > "$stage/DEBIAN/control"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
mkdir -p "$out"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$out/vorandi_${version}_${arch}.deb"
