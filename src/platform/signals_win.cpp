// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals.h"

namespace platform {

void onEndingSignal(std::function<void()>)
{
    // A window program on Windows is ended through its session (logoff, shutdown), which Qt
    // turns into the logout request, never through these signals.
}

// Nothing to hold back where no such signal comes.
SignalsHeldBack::SignalsHeldBack() = default;
SignalsHeldBack::~SignalsHeldBack() = default;

} // namespace platform
