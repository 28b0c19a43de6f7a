// SPDX-License-Identifier: GPL-3.0-or-later
#include "display.h"

#include <cstdlib>

namespace platform {

bool commandsWaitForTheirEvent()
{
    return false;
}

bool displayAvailable()
{
    auto set = [](const char *name) {
        const char *v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

// A terminal program's output already goes there.
void useStartingTerminal() {}

} // namespace platform
