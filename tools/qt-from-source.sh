# SPDX-License-Identifier: GPL-3.0-or-later
# What the two foreign Qt builds share, sourced by build-windows-qt.sh and build-web-qt.sh:
# the cache's lock, Debian's qt6-base source, and the build and install into the cache.
# Each function takes the Qt's label ("for Windows", "for the web") for its messages;
# qt_fetch_source sets $work and $srcdir for the caller.
# shellcheck shell=bash disable=SC2034

# The version of Debian's Qt, whose host tools the foreign Qt uses and whose source it builds.
# On a fresh machine Debian's Qt is not there yet (the build installs it), so no version is not
# an error: 6.4.2 is bookworm's.
version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null | sed 's/+.*//; s/-.*//' || true)
version=${version:-6.4.2}

# Takes the cache's lock and ends the script when a complete Qt is already there. Two builds
# started at once (two make targets, two clones) wait for each other: the second then finds the
# first one's Qt instead of building into the same folder.
qt_reuse_or_lock() {
  local label=$1 prefix=$2
  mkdir -p "$(dirname "$prefix")"
  exec 9> "$prefix.lock"
  flock 9
  if [ -x "$prefix/bin/qt-cmake" ] && [ -f "$prefix/.complete" ]; then
    echo "Qt $version $label: reusing $prefix"
    exit 0
  fi
}

# Unpacks Debian's qt6-base source into a scratch folder removed on exit and enters it; sets
# srcdir. apt-get source needs a deb-src entry for the archive the machine already uses.
qt_fetch_source() {
  local label=$1 tag=$2 sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "Qt $version $label: adding a deb-src entry for the machine's own Debian archive"
    local src=/etc/apt/sources.list.d/vorandi-deb-src.sources
    sed -n '/^Types:/,/^$/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null |
      sed 's/^Types:.*/Types: deb-src/' | "${sudo[@]}" tee "$src" > /dev/null
    [ -s "$src" ] ||
      echo "deb-src http://deb.debian.org/debian bookworm main" | "${sudo[@]}" tee "$src" > /dev/null
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/vorandi-$tag.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  cd "$work" || exit 1
  echo "Qt $version $label: fetching Debian's qt6-base source into $work"
  apt-get source --download-only -qq "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)" ||
    apt-get source --download-only -qq qt6-base
  tar xf qt6-base_*.orig.tar.*
  srcdir=$work/$(find . -maxdepth 1 -type d -name 'qtbase-everywhere-src-*' -printf '%f\n' | head -n1)
}

# Widgets, dialogs and parts of Core and Gui the game never shows or calls, cut from both foreign
# Qts: the boxes it uses (message, input, progress) and the Fusion style keep what they need, and
# configure refuses a cut something kept depends on (the Windows style draws tab widgets whether
# or not Qt has them, so they stay). Each cut saves build steps on a cold machine
# and, on the web, bytes every school downloads.
unused_qt_features=(
  -no-feature-graphicsview -no-feature-graphicseffect -no-feature-calendarwidget
  -no-feature-datetimeedit -no-feature-dial -no-feature-lcdnumber -no-feature-mdiarea
  -no-feature-fontcombobox -no-feature-fontdialog -no-feature-colordialog -no-feature-filedialog
  -no-feature-wizard -no-feature-undocommand -no-feature-undostack -no-feature-undogroup
  -no-feature-undoview -no-feature-columnview -no-feature-tablewidget -no-feature-treewidget
  -no-feature-listwidget -no-feature-keysequenceedit -no-feature-syntaxhighlighter
  -no-feature-toolbox -no-feature-splashscreen -no-feature-errormessage -no-feature-scroller
  -no-feature-systemtrayicon -no-feature-whatsthis -no-feature-pdf -no-feature-movie
  -no-feature-sharedmemory -no-feature-systemsemaphore -no-feature-splitter -no-feature-dockwidget
  -no-feature-fscompleter
)

# Builds and installs a configured Qt from the current folder, then marks the cache complete.
qt_build_and_install() {
  local label=$1 prefix=$2 jobs=$3 steps start
  steps=$(ninja -n 2>/dev/null | grep -c '^\[' || true)
  echo "Qt $version $label: $steps build steps"
  start=$(date +%s)
  cmake --build . --parallel "$jobs" > build.log 2>&1 || { tail -n 60 build.log; exit 1; }
  cmake --install . > install.log 2>&1 || { tail -n 40 install.log; exit 1; }
  touch "$prefix/.complete"
  echo "Qt $version $label: built in $(( ($(date +%s) - start) / 60 )) min"
  echo "Qt $version $label: installed in $prefix ($(du -sh "$prefix" | cut -f1))"
}
