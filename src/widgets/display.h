// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the program can show its window at all, and where its text output goes.
#pragma once

namespace platform {

// False where a window would have nowhere to go (no X or Wayland display, no platform chosen);
// on Windows every session has its desktop.
bool displayAvailable();

// Text printed before the window (help, version, a wrong option) reaches the terminal the
// program was started from, where it is not redirected already.
void useStartingTerminal();

} // namespace platform
