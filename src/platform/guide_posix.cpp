// SPDX-License-Identifier: GPL-3.0-or-later
#include "guide.h"

namespace platform {

QString furtherReading()
{
    return QStringLiteral("man 6 vorandi");
}

QStringList systemHelpSwitches()
{
    return {};
}

} // namespace platform
