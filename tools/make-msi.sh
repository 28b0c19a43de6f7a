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
cp "$here/data/windows/vorandi.ico" "$stage/vorandi.ico"
# wixl takes the sources' paths relative to where it runs.
(cd "$stage" && wixl -a x64 -D "Version=$version" -D "ProductCode=$product_code" -D Stage=. -D Icon=vorandi.ico -o "$out" \
  "$here/packaging/windows/vorandi.wxs")
rm -f "$stage/vorandi.ico"

# The program's version, as its version record gives it (VS_FIXEDFILEINFO, after its signature
# 0xFEEF04BD): Windows' installer compares it with an installed file's before replacing it.
file_version=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit(sys.argv[1] + " carries no version record")
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")' "$stage/vorandi.exe")

# What wixl cannot write, put into its database: the program's version in the file table; the summary's Italian language and the
# database's code page (wixl writes 1033 and 0; the texts are Windows-1252 Italian); the
# upgrade's removal of the older version after this one is in place (wixl puts it before);
# INSTALLDIR and RECORDDIR passed to the installation's service however it is started; and
# the search for a file where the record folder goes, which a launch condition refuses
# (wixl has no file search).
printf '\r\n\r\n1252\t_ForceCodepage\r\n' > "$stage/_ForceCodepage.idt"
msibuild "$out" -i "$stage/_ForceCodepage.idt" \
  -q "UPDATE \`File\` SET \`Version\` = '$file_version', \`Language\` = '1040'
      WHERE \`File\` = 'vorandi.exe'" \
  -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 6601
      WHERE \`Action\` = 'RemoveExistingProducts'" \
  -q "UPDATE \`Property\` SET \`Value\` =
      'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;RECORDDIR'
      WHERE \`Property\` = 'SecureCustomProperties'" \
  -q "CREATE TABLE \`DrLocator\` (\`Signature_\` CHAR(72) NOT NULL, \`Parent\` CHAR(72),
      \`Path\` CHAR(255), \`Depth\` SHORT PRIMARY KEY \`Signature_\`, \`Parent\`, \`Path\`)" \
  -q "INSERT INTO \`DrLocator\` (\`Signature_\`, \`Path\`, \`Depth\`)
      VALUES ('RecordFolderFile', '[CommonAppDataFolder]', 0)" \
  -q "INSERT INTO \`Signature\` (\`Signature\`, \`FileName\`) VALUES ('RecordFolderFile', 'Vorandi')" \
  -q "INSERT INTO \`AppSearch\` (\`Property\`, \`Signature_\`)
      VALUES ('RECORDFOLDERFILE', 'RecordFolderFile')" \
  -s "Vorandi: esercizi sulle potenze" Vorandi "x64;1040"
rm -f "$stage/_ForceCodepage.idt"
echo "$out: $(du -h "$out" | cut -f1)"
