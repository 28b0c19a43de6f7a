// SPDX-License-Identifier: GPL-3.0-or-later
#include "ending.h"
#include "program.h"
#include "signals.h"
#include "waiting.h"

#include <QGuiApplication>
#include <QSessionManager>

#include <cstdlib>
#include <utility>

namespace platform {

namespace {

std::function<void()> &lastCheck()
{
    static std::function<void()> check;
    return check;
}

void runLastCheck()
{
    if (!lastCheck())
        return;
    const QuietScope quiet;
    lastCheck()();
}

// The display connection breaking ends the process from inside Qt with exit(), so this is the
// last place the check can still run.
void atProcessExit()
{
    if (!endedByProgram())
        runLastCheck();
}

} // namespace

void sessionEnding()
{
    runLastCheck();
}

void runBeforeEveryWayOut(std::function<void()> check)
{
    lastCheck() = std::move(check);
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    std::atexit(atProcessExit);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QObject::connect(app, &QGuiApplication::commitDataRequest, app,
                         [](QSessionManager &) { sessionEnding(); });
    onEndingSignal([] {
        runLastCheck();
        End(0);
    });
}

} // namespace platform
