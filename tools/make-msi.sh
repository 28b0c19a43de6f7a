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
cp "$here/assets/pics/window.ico" "$stage/vorandi.ico"
# wixl takes the sources' paths relative to where it runs.
(cd "$stage" && wixl -a x64 -D "Version=$version" -D Stage=. -D Icon=vorandi.ico -o "$out" \
  "$here/packaging/windows/vorandi.wxs")
rm -f "$stage/vorandi.ico"
echo "$out: $(du -h "$out" | cut -f1)"
