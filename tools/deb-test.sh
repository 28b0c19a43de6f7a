#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package as a distribution and then a family's computer meet it (as root):
# a second build elsewhere and later that must match the first byte for byte, lintian on the
# binary and source packages, installation with apt, the autopkgtest against the installed game,
# and removal without a trace.
#   tools/deb-test.sh vorandi_<version>_<arch>.deb [the first build's work directory (build-deb)]
set -euo pipefail
fail() { echo "deb-test: $*" >&2; exit 1; }
[ $# -ge 1 ] && [ -f "$1" ] || fail "usage: $0 vorandi_<version>_<arch>.deb [work directory]"
[ "$(id -u)" -eq 0 ] || fail "run as root: the test installs and removes the package"
src=$(cd "$(dirname "$0")/.." && pwd)
deb=$(realpath "$1")
first=$(realpath "${2:-$src/build-deb}")
again=$first-again
version=$(dpkg-deb -f "$deb" Version)
installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' vorandi 2>/dev/null)" = installed ]; }
installed && fail "vorandi is already installed here; remove it before the test"

# What differs between two builds of one file: diffoscope's report, or the differing members.
report_difference() {
  if command -v diffoscope > /dev/null; then
    diffoscope --text - "$1" "$2" || true
    return
  fi
  for member in $(ar t "$1"); do
    cmp -s <(ar p "$1" "$member") <(ar p "$2" "$member") || echo "  differs: $member"
  done
}

echo "deb-test: a second build in $again, in another time zone"
TZ=Pacific/Kiritimati "$src/tools/deb-build.sh" "$again" "$again/out" > /dev/null
epoch=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Timestamp)
same=yes
for built in "$deb" "$first"/vorandi-dbgsym_*.deb; do
  other=$(find "$again" -name "$(basename "$built")")
  [ -n "$other" ] || fail "the second build made no $(basename "$built")"
  if cmp -s "$built" "$other"; then
    echo "deb-test: $(basename "$built") is the same in both builds"
  else
    echo "deb-test: $(basename "$built") differs between the builds:"
    report_difference "$built" "$other"
    same=no
  fi
done
[ $same = yes ] || fail "two builds with SOURCE_DATE_EPOCH=$epoch are not identical"

echo "deb-test: lintian"
"$src/tools/deb-build.sh" --source "$first-source" > /dev/null
# Together, as one source's packages; informational and pedantic hints are shown too.
if ! report=$(lintian --fail-on error,warning -I --pedantic "$deb" "$first"/vorandi-dbgsym_*.deb \
  "$first-source"/vorandi_*.dsc 2>&1); then
  echo "$report" >&2
  fail "lintian reports errors or warnings"
fi
echo "$report" | sed '/running with root privileges/d; /^$/d; s/^/  /'

echo "deb-test: install"
trap 'installed && apt-get purge -y -qq vorandi > /dev/null' EXIT
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$deb" > /dev/null
installed || fail "the package did not install"

entry=$(dpkg -L vorandi | grep '^/usr/share/applications/.*\.desktop$') ||
  fail "no menu entry in /usr/share/applications"
grep -qx 'Exec=vorandi' "$entry" || fail "the menu entry does not start vorandi"
[ -f /usr/share/metainfo/io.github.vorandi.vorandi.metainfo.xml ] || fail "no AppStream file"
for size in 16 32 48 64 128; do
  [ -f /usr/share/icons/hicolor/${size}x$size/apps/vorandi.png ] || fail "no $size px icon"
done
[ -f /usr/share/man/man6/vorandi.6.gz ] || fail "no manual page /usr/share/man/man6/vorandi.6.gz"
zcat /usr/share/man/man6/vorandi.6.gz | grep -q '^\.TH VORANDI 6' || fail "the manual page is not vorandi(6)"
[ -f /usr/share/doc/vorandi/copyright ] && [ -f /usr/share/doc/vorandi/changelog.Debian.gz ] ||
  fail "copyright or changelog missing in /usr/share/doc/vorandi"
# Without a display the installed program says so, and points at no build tool.
status=0
msg=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/games/vorandi 2>&1) || status=$?
[ "$status" -eq 1 ] || fail "without a display the program ended with status $status"
case "$msg" in *make* | *xvfb* | *build*) fail "without a display the program said: $msg" ;; esac

echo "deb-test: the autopkgtest (debian/tests/start)"
"$src/debian/tests/start" || fail "the autopkgtest failed"

echo "deb-test: purge"
files=$(dpkg -L vorandi)
apt-get -o DPkg::Lock::Timeout=600 purge -y -qq vorandi > /dev/null
state=$(dpkg-query -W -f='${db:Status-Status}' vorandi 2>/dev/null || true)
[ -z "$state" ] || [ "$state" = not-installed ] || fail "after its purge dpkg has vorandi $state"
left=()
while IFS= read -r path; do
  # Directories like /usr/share/icons belong to others too; what is ours alone must go.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [ "$path" = /usr/share/doc/vorandi ]; }; then
    left+=("$path")
  fi
done <<< "$files"
[ ${#left[@]} -eq 0 ] || fail "left after removal: ${left[*]}"
echo "deb-test: vorandi $version builds twice the same, installs, runs and leaves nothing behind"
