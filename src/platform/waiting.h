// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting for something another program holds: a box says so while the wait lasts. Where no box
// may be shown (no display, the program being ended from outside) the caller passes the silent
// wait; the real one is widgets/waitbox.h.
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

// Nothing on screen: asks ready() every few milliseconds until the limit.
class SilentWait : public WaitService {
public:
    bool waitFor(const QString &message, const std::function<bool()> &ready,
                 std::chrono::milliseconds limit) override;
};

// The silent wait: stateless, one serves the whole program.
SilentWait &silentWait();

} // namespace platform
