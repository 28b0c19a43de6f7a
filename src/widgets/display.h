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

// Whether a command chosen by a click or a tap runs only once the pointer's event is over. On a
// page a box's loop suspends the whole stack under it: Qt would finish the pointer's event only
// when the box closed, and meanwhile lose the next tap's release.
bool commandsWaitForTheirEvent();

} // namespace platform
