// SPDX-License-Identifier: GPL-3.0-or-later
#include "waiting.h"

#include <QElapsedTimer>

#include <thread>

namespace platform {

namespace {

constexpr auto silentPollInterval = std::chrono::milliseconds(2);

} // namespace

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

SilentWait &silentWait()
{
    static SilentWait silent;
    return silent;
}

} // namespace platform
