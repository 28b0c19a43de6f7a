// SPDX-License-Identifier: GPL-3.0-or-later
#include "waitbox.h"
#include "dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

namespace platform {

namespace {

constexpr auto pollInterval = std::chrono::milliseconds(100);
// A wait shorter than this (another game's save in progress) shows nothing.
constexpr int showAfterMs = 400;

} // namespace

bool QtWait::waitFor(const QString &message, const std::function<bool()> &ready,
                     std::chrono::milliseconds limit)
{
    if (ready())
        return true;
    QProgressDialog box(message, QStringLiteral("Smetti di aspettare"), 0, 0,
                        QApplication::activeWindow());
    box.setWindowTitle(applicationTitle());
    box.setWindowModality(Qt::ApplicationModal);
    box.setAutoReset(false);
    box.setAutoClose(false);
    box.setMinimumDuration(showAfterMs);
    QTimer::singleShot(showAfterMs, &box, [&box] { box.show(); });
    QEventLoop loop;
    QObject::connect(&box, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    bool got = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        got = ready();
        if (got || clock.elapsed() >= limit.count())
            loop.quit();
    });
    poll.start(pollInterval);
    {
        ModalScope scope;
        loop.exec();
    }
    return got;
}

QtWait &qtWait()
{
    static QtWait real;
    return real;
}

} // namespace platform
