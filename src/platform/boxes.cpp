// SPDX-License-Identifier: GPL-3.0-or-later
#include "boxes.h"
#include "program.h"

namespace platform {

int SilentDialogs::msgBox(const QString &prompt, int style, const QString &)
{
    tellStandardError(prompt);
    if (!asksYesNo(style))
        return vbOK;
    return style & vbDefaultButton2 ? vbNo : vbYes;
}

QString SilentDialogs::inputBox(const QString &, const QString &)
{
    return QString();
}

SilentDialogs &silentDialogs()
{
    static SilentDialogs silent;
    return silent;
}

} // namespace platform
