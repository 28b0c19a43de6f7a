// SPDX-License-Identifier: GPL-3.0-or-later
// What the help says differently on each system.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Where the help sends the reader for the record's place and for sharing it between accounts:
// the manual page on Linux, the LEGGIMI.txt beside the program on Windows.
QString furtherReading();

// The words for help that this system's users type besides -h and --help ("/?" on Windows).
QStringList systemHelpSwitches();

} // namespace platform
