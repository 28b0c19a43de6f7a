// SPDX-License-Identifier: GPL-3.0-or-later
#include "guide.h"

namespace platform {

// Windows has no manual pages; the zip and the installer put LEGGIMI.txt beside the program.
QString furtherReading()
{
    return QStringLiteral("il file LEGGIMI.txt accanto a vorandi.exe");
}

QStringList systemHelpSwitches()
{
    return {QStringLiteral("/?")};
}

} // namespace platform
