// SPDX-License-Identifier: GPL-3.0-or-later
// Looks into the running program from outside, through its own calls and Qt's.
#pragma once

namespace platform {

// How many file numbers are open.
int openFileCount();

// Whether the session's logout request reaches the program.
bool sessionLogoutWatched();

} // namespace platform
