// SPDX-License-Identifier: GPL-3.0-or-later
// The real wait: a box says so while another program holds what the game waits for.
#pragma once

#include "platform/waiting.h"

namespace platform {

// A box with the message, a busy bar and a button to stop waiting; it appears only when the wait
// lasts more than a moment.
class QtWait : public WaitService {
public:
    bool waitFor(const QString &message, const std::function<bool()> &ready,
                 std::chrono::milliseconds limit) override;
};

// The real wait: stateless, one serves the whole program.
QtWait &qtWait();

} // namespace platform
