#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Signs Windows files (the program, the installer) in place with Authenticode, when the builder
# gives a code-signing certificate; without one it does nothing, and the files stay as built.
#   tools/sign-windows.sh FILE...
# VORANDI_SIGN_CERT   the certificate with its chain, PEM, or a PKCS#12 file (.pfx, .p12)
# VORANDI_SIGN_KEY    its private key, PEM (not needed with a PKCS#12 file)
# VORANDI_SIGN_PASS   a file holding the key's password, if it has one
# VORANDI_SIGN_TIMESTAMP  an RFC 3161 time-stamping server; a signature without a time stamp
#                     stops being valid when the certificate expires
set -euo pipefail
[ -n "${VORANDI_SIGN_CERT:-}" ] || exit 0
if [[ "$VORANDI_SIGN_CERT" =~ \.(pfx|p12)$ ]]; then
  key=(-pkcs12 "$VORANDI_SIGN_CERT")
else
  key=(-certs "$VORANDI_SIGN_CERT" -key "${VORANDI_SIGN_KEY:?VORANDI_SIGN_KEY names no key}")
fi
[ -n "${VORANDI_SIGN_PASS:-}" ] && key+=(-readpass "$VORANDI_SIGN_PASS")
stamp=()
if [ -n "${VORANDI_SIGN_TIMESTAMP:-}" ]; then
  stamp=(-ts "$VORANDI_SIGN_TIMESTAMP")
else
  echo "Signing without a time stamp (VORANDI_SIGN_TIMESTAMP is not set)" >&2
fi
for file in "$@"; do
  osslsigncode sign "${key[@]}" "${stamp[@]}" -h sha256 -n "Vorandi" \
    -i "https://github.com/vorandi/vorandi" -in "$file" -out "$file.signed" > /dev/null
  mv "$file.signed" "$file"
  echo "$file: signed"
done
