// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line: help and version, read before any window exists.
#pragma once

#include <QString>
#include <QStringList>

namespace game {

// What the command line asks for. When `play` is false the program prints `output` on standard
// output and `error` on standard error, and ends with `status` without opening a window.
struct CommandLineOutcome {
    bool play = true;
    int status = 0;
    QString output;
    QString error;
    // For touch screens: the number pad from the start, the window as large as the screen.
    bool numberPad = false;
    bool fullScreen = false;
};

// Reads the arguments (the program's name first). The toolkit's own options (-platform,
// -session, -style, ...) are let through for the application object to take.
CommandLineOutcome readCommandLine(const QStringList &arguments);

} // namespace game
