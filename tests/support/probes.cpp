// SPDX-License-Identifier: GPL-3.0-or-later
#include "probes.h"
#include "platform/files.h"
#include "platform/runtime.h"

#include <QGuiApplication>
#include <QMetaMethod>
#include <QSessionManager>

namespace platform {

namespace {

// The numbers FreeFile hands out.
constexpr int highestFileNumber = 255;

} // namespace

int openFileCount()
{
    int open = 0;
    for (int number = 1; number <= highestFileNumber; ++number) {
        try {
            LOF(number);
            ++open;
        } catch (const RuntimeError &) {
            // Not open: LOF knows no such number.
        }
    }
    return open;
}

bool sessionLogoutWatched()
{
    // Whether a signal has receivers is the object's own business; a member pointer named through
    // a class that makes it public asks all the same.
    struct Asking : QObject {
        using QObject::isSignalConnected;
    };
    const auto connected = &Asking::isSignalConnected;
    const auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    return app && (app->*connected)(QMetaMethod::fromSignal(&QGuiApplication::commitDataRequest));
}

} // namespace platform
