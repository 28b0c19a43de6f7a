#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows build's tests under Wine, plays one game with the real vorandi.exe on a
# virtual X display, driven with real keys, tests the installer in Wine installations of its
# own, signs the program and the installer with a throwaway certificate and verifies the
# signatures, and builds the program again to check that the same bytes come out.
#   tools/test-windows.sh BUILD_DIR QT_PREFIX
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
qt=$2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)

# A Wine installation of its own, made once per build directory (about ten seconds); no prompts
# for the .NET and HTML engines nobody here uses.
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Wine: preparing $WINEPREFIX"
  env -u DISPLAY "$wine" wineboot -i > /dev/null 2>&1
  "$(dirname "$wine")/wineserver" -w
fi

echo "Windows tests under Wine"
# One Wine server for all the tests: two tests that start together would each start one, and
# the one that loses fails at once, with nothing said. It stays ten seconds after the last.
"$(dirname "$wine")/wineserver" -p10
(cd "$build" && env -u DISPLAY ctest --output-on-failure -j "${JOBS:-2}")
echo "Skipped under Wine, and why:"
grep -h '^SKIPPED: \|^SKIP   : ' "$build/Testing/Temporary/LastTest.log" | sed 's/^/  /' || true

"$(dirname "$wine")/wineserver" -k 2> /dev/null || true
echo "A game with vorandi.exe under Wine"
python3 "$here/tests/e2e_wine.py" "$wine" "$build/src/vorandi.exe" "$WINEPREFIX"

echo "The installer under Wine"
python3 "$here/tests/msi_wine.py" "$wine" "$here/dist/vorandi-$version-x64.msi" \
  "$here/dist/vorandi-$version-windows-x86_64.zip" "$build/wine-msi"

echo "Signing with a throwaway certificate"
signing=$(mktemp -d)
trap 'rm -rf "$signing"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Vorandi (prova)" \
  -addext extendedKeyUsage=codeSigning -keyout "$signing/key.pem" -out "$signing/cert.pem" \
  2> /dev/null
VORANDI_SIGN_CERT="$signing/cert.pem" VORANDI_SIGN_KEY="$signing/key.pem" \
  "$here/tools/package-windows.sh" "$build" "$signing/dist" > /dev/null 2>&1
unzip -q -d "$signing" "$signing/dist/vorandi-$version-windows-x86_64.zip" vorandi.exe
for file in "$signing/vorandi.exe" "$signing/dist/vorandi-$version-x64.msi"; do
  if ! osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" > "$signing/verify" 2>&1; then
    cat "$signing/verify"
    echo "FAIL: the signature of $(basename "$file") does not verify" >&2
    exit 1
  fi
  echo "  $(basename "$file"): signature verified"
done

"$here/tools/check-windows-reproducible.sh" "$build" "$qt"
