#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs the Windows build into DIST_DIR (default dist/): vorandi-<version>-windows-x86_64.zip
# (the program, stripped, with LEGGIMI.txt and LICENZA.txt in Windows-1252 and CR LF, as Notepad
# reads them) and the installer vorandi-<version>-x64.msi. Refuses a program that needs any DLL
# but Windows' own. Every time stamped in the zip is SOURCE_DATE_EPOCH
# (tools/source-date-epoch.sh), so two builds of one version give the same bytes. With a
# code-signing certificate given (VORANDI_SIGN_CERT..., see tools/sign-windows.sh) the program
# and the installer are signed; without one they are not, and nothing else differs.
#   tools/package-windows.sh BUILD_DIR [DIST_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
dist=$(mkdir -p "${2:-$here/dist}" && cd "${2:-$here/dist}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
exe="$build/src/vorandi.exe"
zip="$dist/vorandi-$version-windows-x86_64.zip"
SOURCE_DATE_EPOCH=$("$here/tools/source-date-epoch.sh")
export SOURCE_DATE_EPOCH

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
"$here/tools/sign-windows.sh" "$stage/vorandi.exe"
windows_text() { iconv -f UTF-8 -t WINDOWS-1252 "$1" | sed 's/$/\r/' > "$2"; }
windows_text "$here/data/windows/LEGGIMI.txt" "$stage/LEGGIMI.txt"
windows_text "$here/LICENSE" "$stage/LICENZA.txt"
# The zip keeps each file's mode and its local time: both fixed here.
chmod 644 "$stage"/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -q -X -D "$zip" vorandi.exe LEGGIMI.txt LICENZA.txt)
echo "$zip: $(du -h "$zip" | cut -f1) (vorandi.exe $(du -h "$stage/vorandi.exe" | cut -f1))"

"$here/tools/make-msi.sh" "$stage" "$version" "$dist/vorandi-$version-x64.msi"
"$here/tools/sign-windows.sh" "$dist/vorandi-$version-x64.msi"
