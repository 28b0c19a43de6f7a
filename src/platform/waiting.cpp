// SPDX-License-Identifier: GPL-3.0-or-later
#include "waiting.h"
#include "dialogs.h"
#include "program.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <thread>

namespace platform {

namespace {

constexpr auto pollInterval = std::chrono::milliseconds(100);
constexpr auto silentPollInterval = std::chrono::milliseconds(2);
// A wait shorter than this (another game's save in progress) shows nothing.
constexpr int showAfterMs = 400;

// The waits for the record lock come from deep inside the record functions, which take no
// window's services: one process-wide choice, set by QuietScope and by tests.
WaitService *&customWait()
{
    static WaitService *service = nullptr;
    return service;
}

// Process-wide like the boxes it silences: the ways out from outside the program (signals, the
// logout, a display gone) know no window.
int &quietDepth()
{
    static int depth = 0;
    return depth;
}

// Boxes nobody will see: the text goes to the standard error stream, the answer is the default.
class SilentDialogs : public DialogService {
public:
    int msgBox(const QString &prompt, int style, const QString &) override
    {
        tellStandardError(prompt);
        if (!asksYesNo(style))
            return vbOK;
        return style & vbDefaultButton2 ? vbNo : vbYes;
    }
    QString inputBox(const QString &, const QString &) override { return QString(); }
};

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

bool SilentWait::waitFor(const QString &, const std::function<bool()> &ready,
                         std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() >= limit.count())
            return false;
        // Often: a lock that came free is held, unused, until the next look.
        std::this_thread::sleep_for(silentPollInterval);
    }
    return true;
}

bool canAsk()
{
    return quietDepth() == 0 && qobject_cast<QApplication *>(QCoreApplication::instance());
}

WaitService &waitService()
{
    static QtWait real; // stateless, as the silent one: one serves every wait
    static SilentWait silent;
    if (customWait())
        return *customWait();
    return canAsk() ? static_cast<WaitService &>(real) : silent;
}

void setWaitService(WaitService *service)
{
    customWait() = service;
}

bool WaitWithMessage(const QString &message, const std::function<bool()> &ready,
                     std::chrono::milliseconds limit)
{
    return waitService().waitFor(message, ready, limit);
}

QuietScope::QuietScope() : dialogs_(&dialogService()), waits_(customWait())
{
    static SilentDialogs silentDialogs; // stateless: one serves every scope
    static SilentWait silentWait;
    ++quietDepth();
    setDialogService(&silentDialogs);
    setWaitService(&silentWait);
}

QuietScope::~QuietScope()
{
    --quietDepth();
    setDialogService(dialogs_);
    setWaitService(waits_);
}

} // namespace platform
