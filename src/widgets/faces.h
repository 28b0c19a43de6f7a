// SPDX-License-Identifier: GPL-3.0-or-later
// The window description's typefaces as each system has them.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// What the system needs before any window is built: stand-ins for the design's faces where the
// system lacks them and, on Windows, the system's own fonts for boxes, menus and tooltips.
void installFontSubstitutes();

// The installed faces to try, best first, for a face the window description names.
QStringList facesFor(const QString &designFamily);

} // namespace platform
