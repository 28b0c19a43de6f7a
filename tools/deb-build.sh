#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package as a distribution does: debian/ and dpkg-buildpackage on a clean copy
# of the sources (the files git knows, with their uncommitted changes, and no build directory).
#   tools/deb-build.sh [work directory (build-deb)] [output directory (.)]
#       vorandi_<version>_<arch>.deb into the output directory; its debug symbols, .buildinfo,
#       .changes and the build's log stay in the work directory.
#   tools/deb-build.sh --source [work directory]
#       the source package instead: the .orig tarball, .debian.tar.xz and .dsc in the work
#       directory.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
mode=binary
if [ "${1:-}" = --source ]; then
  mode=source
  shift
fi
work=$(realpath -m "${1:-$src/build-deb}")
out=$(realpath -m "${2:-$src}")
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
upstream=${version%-*}
tree=$work/vorandi-$upstream

# Each copy's files get the time of the copy (--touch): no build may depend on when the sources
# were checked out.
copy_sources() {
  if git -C "$src" rev-parse --is-inside-work-tree > /dev/null 2>&1; then
    (cd "$src" && git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
      tar --null --no-recursion -T - -cf -) | tar -x --touch -C "$1"
  else
    (cd "$src" && tar --exclude=./.git --exclude='./build*' --exclude=./dist --exclude='./vorandi_*.deb' \
      -cf - .) |
      tar -x --touch -C "$1"
  fi
}

rm -rf "$work"
mkdir -p "$tree"
copy_sources "$tree"
log=$work/build.log
if [ "$mode" = source ]; then
  tar -C "$work" --exclude="vorandi-$upstream/debian" --sort=name --owner=0 --group=0 \
    --numeric-owner --mtime="@$(dpkg-parsechangelog -l "$tree/debian/changelog" -S Timestamp)" \
    -cJf "$work/vorandi_$upstream.orig.tar.xz" "vorandi-$upstream"
  (cd "$work" && dpkg-source -b "vorandi-$upstream") > "$log" 2>&1 ||
    { cat "$log" >&2; exit 1; }
  echo "deb-build: $work/vorandi_$version.dsc"
  exit 0
fi
if ! (cd "$tree" && dpkg-buildpackage -b -us -uc) > "$log" 2>&1; then
  tail -n 60 "$log" >&2
  echo "deb-build: dpkg-buildpackage failed; the whole log is $log" >&2
  exit 1
fi
mkdir -p "$out"
arch=$(dpkg --print-architecture)
mv "$work/vorandi_${version}_$arch.deb" "$out/"
echo "deb-build: $out/vorandi_${version}_$arch.deb (log: $log)"
