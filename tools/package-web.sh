#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gathers the browser build into DIST_DIR (default dist/) as vorandi-<version>-web/ (the page,
# Qt's loader, the program's .js and .wasm, the offline copy's service worker and manifest, the
# icons) and zips that folder. Every file's time is SOURCE_DATE_EPOCH
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
mkdir -p "$out"
cp "$build/src/vorandi.js" "$build/src/vorandi.wasm" "$build/src/qtloader.js" "$out/"
cp "$here/web/index.html" "$here/web/page.js" "$here/web/manifest.webmanifest" "$out/"
sed "s/@VERSION@/$version/" "$here/web/sw.js" > "$out/sw.js"
for size in 64 128; do
  cp "$here/data/icons/hicolor/${size}x${size}/apps/vorandi.png" "$out/vorandi-$size.png"
done
# The zip keeps each file's mode and its local time: both fixed here.
chmod 644 "$out"/*
chmod 755 "$out"
touch -d "@$SOURCE_DATE_EPOCH" "$out"/* "$out"
(cd "$dist" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X "$name.zip" -@)
gz=$(gzip -9 -c "$out/vorandi.wasm" | wc -c)
echo "$out: $(du -sh "$out" | cut -f1); vorandi.wasm $(stat -c %s "$out/vorandi.wasm") bytes, $gz after gzip -9"
