// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting for something another program holds: a box says so while the wait lasts. Where no box
// may be shown (no display, the program being ended from outside) the caller passes the silent
// wait.
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

// The real wait and the silent one: both stateless, one of each serves the whole program.
QtWait &qtWait();
SilentWait &silentWait();

} // namespace platform
