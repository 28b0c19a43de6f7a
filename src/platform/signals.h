// SPDX-License-Identifier: GPL-3.0-or-later
// The signals that end a program unless it catches them (SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1,
// SIGPWR, the real-time ones and the rest, as the system numbers them), turned into an ordinary
// event of the event loop. signals_posix.cpp; Windows sends a window program none of them.
#pragma once

#include <functional>

namespace platform {

// Runs handler from the event loop when one of the signals arrives; installs once. A signal the
// program was started with ignored (SIGPIPE under nohup, say) stays ignored.
void onEndingSignal(std::function<void()> handler);

// While one lives, the ending signals wait: a step that must not be cut in half (the two renames
// of a save) ends before any of them is delivered.
class SignalsHeldBack {
public:
    SignalsHeldBack();
    ~SignalsHeldBack();
    SignalsHeldBack(const SignalsHeldBack &) = delete;
    SignalsHeldBack &operator=(const SignalsHeldBack &) = delete;
};

} // namespace platform
