// SPDX-License-Identifier: GPL-3.0-or-later
// The signals that ask a program to end (SIGTERM, SIGHUP, SIGINT), turned into an ordinary event
// of the event loop. signals_posix.cpp; Windows sends a window program none of them.
#pragma once

#include <functional>

namespace platform {

// Runs handler from the event loop when one of the signals arrives; installs once.
void onEndingSignal(std::function<void()> handler);

} // namespace platform
