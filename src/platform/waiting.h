// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting for something another program holds: a box says so while the wait lasts. Where no box
// may be shown (no display, the program being ended from outside) the wait is silent and short.
#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace platform {

class WaitService {
public:
    virtual ~WaitService() = default;
    // Shows the message until ready() answers true (asked every tenth of a second), the limit
    // passes or the player stops waiting; returns whether ready() answered true.
    virtual bool waitFor(const QString &message, const std::function<bool()> &ready,
                         std::chrono::milliseconds limit) = 0;
};

// A box with the message, a busy bar and a button to stop waiting; it appears only when the wait
// lasts more than a moment.
class QtWait : public WaitService {
public:
    bool waitFor(const QString &message, const std::function<bool()> &ready,
                 std::chrono::milliseconds limit) override;
};

// Nothing on screen: asks ready() every few milliseconds until the limit.
class SilentWait : public WaitService {
public:
    bool waitFor(const QString &message, const std::function<bool()> &ready,
                 std::chrono::milliseconds limit) override;
};

// The service every wait goes through: the real box unless a test set another, or a silent one
// while no box can be shown.
WaitService &waitService();
void setWaitService(WaitService *service);

bool WaitWithMessage(const QString &message, const std::function<bool()> &ready,
                     std::chrono::milliseconds limit);

// Whether a box can be shown and answered now: there is a widget application and no QuietScope.
bool canAsk();

// While one lives no box is shown: messages take their default answer (their text goes to the
// standard error stream) and waits are silent. For the ways out of the program that come from
// outside it: signals, the session's logout, a display that went away.
class QuietScope {
public:
    QuietScope();
    ~QuietScope();
    Q_DISABLE_COPY(QuietScope)

private:
    class DialogService *dialogs_;
    WaitService *waits_;
};

} // namespace platform
