#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows installer from packaging/windows/vorandi.wxs with wixl (msitools).
#   tools/make-msi.sh STAGE_DIR VERSION OUT.msi
# STAGE_DIR holds vorandi.exe, LEGGIMI.txt and LICENZA.txt as they are installed; VERSION is
# x.y.z (a higher one upgrades an installed Vorandi, a lower one is refused).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
stage=$1 version=$2
out=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
# One version is one product: the ProductCode is a name-based UUID (version 5) of the version in
# a namespace of the project's own, so every build of 1.0.0 is the same product to Windows and a
# second one never makes a second entry in "App installate". A new version is a new product,
# which the UpgradeCode (fixed in the .wxs) lets replace the older one.
product_code=$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID("8a4f0d2e-6b1c-4e57-9a53-0c7d5e2b91f4"), "vorandi " + sys.argv[1])).upper())' "$version")
cp "$here/assets/pics/window.ico" "$stage/vorandi.ico"
# wixl takes the sources' paths relative to where it runs.
(cd "$stage" && wixl -a x64 -D "Version=$version" -D "ProductCode=$product_code" -D Stage=. -D Icon=vorandi.ico -o "$out" \
  "$here/packaging/windows/vorandi.wxs")
rm -f "$stage/vorandi.ico"
echo "$out: $(du -h "$out" | cut -f1)"
