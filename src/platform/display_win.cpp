// SPDX-License-Identifier: GPL-3.0-or-later
#include "display.h"

namespace platform {

bool displayAvailable()
{
    return true;
}

} // namespace platform
