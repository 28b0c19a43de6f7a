#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gathers the browser build into dist/vorandi-<version>-web/ (the page, Qt's loader, the program's
# .js and .wasm, the offline copy's service worker and manifest, the icons) and zips that folder.
#   tools/package-web.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=vorandi-$version-web
out="$here/dist/$name"
rm -rf "$out" "$out.zip"
mkdir -p "$out"
cp "$build/src/vorandi.js" "$build/src/vorandi.wasm" "$build/src/qtloader.js" "$out/"
cp "$here/web/index.html" "$here/web/page.js" "$here/web/manifest.webmanifest" "$out/"
sed "s/@VERSION@/$version/" "$here/web/sw.js" > "$out/sw.js"
for size in 64 128; do
  cp "$here/data/icons/hicolor/${size}x${size}/apps/vorandi.png" "$out/vorandi-$size.png"
done
(cd "$here/dist" && zip -q -r -X "$name.zip" "$name")
gz=$(gzip -9 -c "$out/vorandi.wasm" | wc -c)
echo "$out: $(du -sh "$out" | cut -f1); vorandi.wasm $(stat -c %s "$out/vorandi.wasm") bytes, $gz after gzip -9"
