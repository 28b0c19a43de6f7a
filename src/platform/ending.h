// SPDX-License-Identifier: GPL-3.0-or-later
// The ways a program is ended from outside it: a signal (SIGTERM, SIGQUIT and the rest), the
// session's logout, the display connection breaking. Each runs a last check first, with no box on
// screen.
#pragma once

#include <functional>

namespace platform {

// Installs lastCheck for every way out that comes from outside: the signals end the program after
// it (through a self-pipe, so no Qt call runs in a signal handler); the session's logout runs it
// and leaves the ending to the session; a display that went away runs it as the process exits.
// Call after the application object exists; a later call replaces the check (empty: none).
// lastCheck must not throw, and must show no box and wait only briefly and silently: nobody is
// there to answer.
void runBeforeEveryWayOut(std::function<void()> lastCheck);

// What the session's logout request runs.
void sessionEnding();

} // namespace platform
