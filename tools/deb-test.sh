#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package as a family's computer meets it (as root): lintian, installation with
# apt, the program, its menu entry and manual page in place, and removal without a trace.
#   tools/deb-test.sh vorandi_<version>_<arch>.deb
set -euo pipefail
fail() { echo "deb-test: $*" >&2; exit 1; }
[ $# -eq 1 ] && [ -f "$1" ] || fail "usage: $0 vorandi_<version>_<arch>.deb"
[ "$(id -u)" -eq 0 ] || fail "run as root: the test installs and removes the package"
deb=$(realpath "$1")
version=$(dpkg-deb -f "$deb" Version)
installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' vorandi 2>/dev/null)" = installed ]; }
installed && fail "vorandi is already installed here; remove it before the test"

echo "deb-test: lintian"
if ! report=$(lintian --fail-on error,warning "$deb" 2>&1); then
  echo "$report" >&2
  fail "lintian reports errors or warnings"
fi

echo "deb-test: install"
trap 'installed && apt-get purge -y -qq vorandi > /dev/null' EXIT
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$deb" > /dev/null
installed || fail "the package did not install"

got=$(/usr/games/vorandi --version)
[ "$got" = "vorandi $version" ] || fail "/usr/games/vorandi --version printed '$got'"
entry=$(dpkg -L vorandi | grep '^/usr/share/applications/.*\.desktop$') ||
  fail "no menu entry in /usr/share/applications"
grep -qx 'Exec=vorandi' "$entry" || fail "the menu entry does not start vorandi"
[ -f /usr/share/man/man6/vorandi.6.gz ] || fail "no manual page /usr/share/man/man6/vorandi.6.gz"
zcat /usr/share/man/man6/vorandi.6.gz | grep -q '^\.TH VORANDI 6' || fail "the manual page is not vorandi(6)"
[ -f /usr/share/doc/vorandi/copyright ] && [ -f /usr/share/doc/vorandi/changelog.gz ] ||
  fail "copyright or changelog missing in /usr/share/doc/vorandi"
# Without a display the installed program says so, and points at no build tool.
status=0
msg=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/games/vorandi 2>&1) || status=$?
[ "$status" -eq 1 ] || fail "without a display the program ended with status $status"
case "$msg" in *make* | *xvfb* | *build*) fail "without a display the program said: $msg" ;; esac

echo "deb-test: remove"
files=$(dpkg -L vorandi)
apt-get -o DPkg::Lock::Timeout=600 purge -y -qq vorandi > /dev/null
installed && fail "the package is still installed after its removal"
left=()
while IFS= read -r path; do
  # Directories like /usr/share/icons belong to others too; what is ours alone must go.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [ "$path" = /usr/share/doc/vorandi ]; }; then
    left+=("$path")
  fi
done <<< "$files"
[ ${#left[@]} -eq 0 ] || fail "left after removal: ${left[*]}"
echo "deb-test: vorandi $version installs, runs and leaves nothing behind"
