// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"
#include "boxes.h"
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

void tellStandardError(const QString &message)
{
    std::fprintf(stderr, "Vorandi: %s\n", message.toLocal8Bit().constData());
}

void runHandler(const std::function<void()> &handler, DialogService &boxes,
                const std::function<void(int code)> &end)
{
    try {
        handler();
    } catch (const RuntimeError &error) {
        CloseAll();
        boxes.msgBox(error.message(), vbCritical, QString());
        end(1);
    }
}

} // namespace platform
