// SPDX-License-Identifier: GPL-3.0-or-later
// The end of the program, and what an unhandled run-time error does.
#pragma once

#include <QString>

#include <functional>

namespace platform {

class RuntimeError;

// Closes every open file and ends the program at once: no code after it runs.
[[noreturn]] void End(int code = 0);

// Whether the program is ending through End (its own way out, after its own record check).
bool endedByProgram();

class DialogService;

// Runs an event handler; a run-time error escaping it closes every file, shows its message in the
// boxes given and ends the program through end, with code 1.
void runHandler(const std::function<void()> &handler, DialogService &boxes,
                const std::function<void(int code)> &end);

// A message for whoever reads the standard error stream, on a line of its own after "Vorandi: ".
void tellStandardError(const QString &message);

} // namespace platform
