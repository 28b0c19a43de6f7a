// SPDX-License-Identifier: GPL-3.0-or-later
#include "ending.h"
#include "program.h"
#include "signals.h"

#include <QGuiApplication>
#include <QSessionManager>

#include <cstdlib>
#include <utility>

namespace platform {

namespace {

// The ways out from outside (a signal, the logout, a broken display) reach the program through
// C callbacks and Qt's message handler, which carry no context: the check they run waits here.
std::function<void()> &lastCheck()
{
    static std::function<void()> check;
    return check;
}

void runLastCheck()
{
    if (lastCheck())
        lastCheck()();
}

// Runs the last check once, for the ways out that end the process right after it: a broken
// display reaches both Qt's message handler and the exit handler.
void runLastCheckOnce()
{
    static bool ran = false;
    if (!std::exchange(ran, true))
        runLastCheck();
}

// Qt keeps one message handler and one application for the process; what was installed over
// them is kept beside them.
QtMessageHandler previousHandler = nullptr;

// Qt reports a broken display connection with this warning and calls exit() right after it. The
// check runs here, while every object is still alive: by the time exit() reaches its own
// handlers, static objects made after them are already destroyed.
void watchForBrokenDisplay(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("The X11 connection broke")) &&
        !endedByProgram())
        runLastCheckOnce();
    if (previousHandler)
        previousHandler(type, context, text);
}

// The display connection breaking ends the process from inside Qt with exit(), so this is the
// last place the check can still run.
void atProcessExit()
{
    if (!endedByProgram())
        runLastCheckOnce();
}

} // namespace

void sessionEnding()
{
    runLastCheck();
}

void runBeforeEveryWayOut(std::function<void()> check)
{
    lastCheck() = std::move(check);
    // The exit handler, the message handler and the signal pipe can be installed once only.
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    std::atexit(atProcessExit);
    previousHandler = qInstallMessageHandler(watchForBrokenDisplay);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QObject::connect(app, &QGuiApplication::commitDataRequest, app,
                         [](QSessionManager &) { sessionEnding(); });
    onEndingSignal([] {
        runLastCheck();
        End(0);
    });
}

} // namespace platform
