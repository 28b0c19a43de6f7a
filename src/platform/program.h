// SPDX-License-Identifier: GPL-3.0-or-later
// The end of the program, and what an unhandled run-time error does.
#pragma once

#include <functional>

namespace platform {

class RuntimeError;

// Closes every open file and ends the program at once: no code after it runs.
[[noreturn]] void End(int code = 0);

// Whether the program is ending through End (its own way out, after its own record check).
bool endedByProgram();

// Runs an event handler; a run-time error escaping it shows its message, then ends the program.
void runHandler(const std::function<void()> &handler);

[[noreturn]] void reportAndEnd(const RuntimeError &error);

} // namespace platform
