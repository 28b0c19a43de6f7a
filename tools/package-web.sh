#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gathers the browser build into DIST_DIR (default dist/) as vorandi-<version>-web/ (the page,
# the offline copy's service worker and manifest, the icons, and a folder named after the build's
# content with Qt's loader, the page's script and the program's .js and .wasm) and zips that
# folder. The page and the service worker name that folder: a browser that has an older build
# stored fetches the new one whole. Every file's time is SOURCE_DATE_EPOCH
# (tools/source-date-epoch.sh), its mode fixed and the zip's entries sorted, so two builds of one
# version give the same bytes.
#   tools/package-web.sh BUILD_DIR [DIST_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
dist=$(mkdir -p "${2:-$here/dist}" && cd "${2:-$here/dist}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
SOURCE_DATE_EPOCH=$("$here/tools/source-date-epoch.sh")
name=vorandi-$version-web
out="$dist/$name"
rm -rf "$out" "$out.zip"
program=("$build/src/vorandi.js" "$build/src/vorandi.wasm" "$build/src/qtloader.js"
         "$here/web/page.js" "$here/web/mirror.js" "$here/web/numberpad.js")
page=("$here/web/index.html" "$here/web/sw.js" "$here/web/manifest.webmanifest")
build_id=$(cat "${program[@]}" "${page[@]}" | sha256sum | cut -c1-12)
mkdir -p "$out/$build_id"
cp "${program[@]}" "$out/$build_id/"
sed "s/@BUILD@/$build_id/g; s/@PROGRAM_BYTES@/$(stat -c %s "$build/src/vorandi.wasm")/" \
  "$here/web/index.html" > "$out/index.html"
sed "s/@VERSION@/$version-$build_id/; s/@BUILD@/$build_id/g" "$here/web/sw.js" > "$out/sw.js"
cp "$here/web/manifest.webmanifest" "$out/"
for size in 64 128 192 512; do
  cp "$here/data/icons/hicolor/${size}x${size}/apps/vorandi.png" "$out/vorandi-$size.png"
done
# The zip keeps each file's mode and its local time: both fixed here.
find "$out" -type f -exec chmod 644 {} +
find "$out" -type d -exec chmod 755 {} +
find "$out" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$dist" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X "$name.zip" -@)
wasm="$out/$build_id/vorandi.wasm"
gz=$(gzip -9 -c "$wasm" | wc -c)
echo "$out: $(du -sh "$out" | cut -f1); vorandi.wasm $(stat -c %s "$wasm") bytes, $gz after gzip -9"
