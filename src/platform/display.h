// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the program can show its window at all.
#pragma once

namespace platform {

// False where a window would have nowhere to go (no X or Wayland display, no platform chosen);
// on Windows every session has its desktop.
bool displayAvailable();

} // namespace platform
