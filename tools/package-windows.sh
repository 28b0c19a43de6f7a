#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs the Windows build into dist/vorandi-<version>-windows-x86_64.zip: the program, stripped,
# and LEGGIMI.txt (Windows-1252, CR LF, as Notepad reads it). Refuses a program that needs any
# DLL but Windows' own.
#   tools/package-windows.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
exe="$build/src/vorandi.exe"
zip="$here/dist/vorandi-$version-windows-x86_64.zip"

# What Windows itself provides (api-ms-win-* are its API sets); anything else (Qt, libstdc++, libgcc, winpthread) must be inside.
system_dlls='^(api-ms-win-[a-z0-9-]+|advapi32|comdlg32|d3d11|d3d9|dwmapi|dwrite|dxgi|gdi32|imm32|kernel32|msvcrt|netapi32|ole32|oleaut32|setupapi|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|ws2_32|wtsapi32|authz|cfgmgr32|mpr|dnsapi|iphlpapi|crypt32|bcrypt|secur32|ntdll)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
foreign=$(grep -Ev "$system_dlls" <<< "$imports" || true)
if [ -n "$foreign" ]; then
  echo "vorandi.exe needs DLLs that Windows does not have: $foreign" >&2
  exit 1
fi
echo "vorandi.exe imports only Windows' own DLLs: $(tr '\n' ' ' <<< "$imports")"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
x86_64-w64-mingw32-strip -o "$stage/vorandi.exe" "$exe"
iconv -f UTF-8 -t WINDOWS-1252 "$here/data/windows/LEGGIMI.txt" | sed 's/$/\r/' > "$stage/LEGGIMI.txt"
mkdir -p "$(dirname "$zip")"
rm -f "$zip"
(cd "$stage" && zip -q -X "$zip" vorandi.exe LEGGIMI.txt)
echo "$zip: $(du -h "$zip" | cut -f1) (vorandi.exe $(du -h "$stage/vorandi.exe" | cut -f1))"
