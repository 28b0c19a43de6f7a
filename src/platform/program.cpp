// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"
#include "dialogs.h"
#include "files.h"
#include "runtime.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

std::function<void(int)> &endHook()
{
    static std::function<void(int)> hook;
    return hook;
}

bool &ending()
{
    static bool ending = false;
    return ending;
}

} // namespace

bool endedByProgram()
{
    return ending();
}

void setEndHook(std::function<void(int)> hook)
{
    endHook() = std::move(hook);
}

void End(int code)
{
    CloseAll();
    if (endHook()) {
        endHook()(code);
        std::abort(); // a hook must not return: code after End never runs
    }
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
