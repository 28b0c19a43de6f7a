// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"
#include "dialogs.h"
#include "files.h"
#include "runtime.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

bool &ending()
{
    // Process-wide: the exit handlers that run after End ask whether the program ended itself.
    static bool ending = false;
    return ending;
}

} // namespace

bool endedByProgram()
{
    return ending();
}

void End(int code)
{
    CloseAll();
    ending() = true;
    std::fflush(nullptr);
    std::exit(code);
}

void reportAndEnd(const RuntimeError &error)
{
    CloseAll();
    MsgBox(error.message(), vbCritical);
    End(1);
}

void runHandler(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const RuntimeError &error) {
        reportAndEnd(error);
    }
}

} // namespace platform
