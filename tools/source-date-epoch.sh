#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The time a build stamps into what it makes (the program file's header, the zip's dates), so
# that two builds of one version are byte-identical: SOURCE_DATE_EPOCH when it is set, otherwise
# midnight UTC of the version's release date in CMakeLists.txt.
set -euo pipefail
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  echo "$SOURCE_DATE_EPOCH"
  exit 0
fi
here=$(cd "$(dirname "$0")/.." && pwd)
day=$(sed -n 's/^set(VORANDI_RELEASE_DATE \([0-9-]*\))$/\1/p' "$here/CMakeLists.txt")
date -u -d "$day 00:00:00" +%s
