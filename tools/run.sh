#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the game, or says in one sentence why it cannot be shown here.
set -u
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Vorandi needs a graphical display: run it from a desktop session, or try 'xvfb-run -a make run'." >&2
  exit 1
fi
exec "$@"
