// SPDX-License-Identifier: GPL-3.0-or-later
// In a browser: the page's accessible copy of the game, beside its canvas (web/mirror.js).
#pragma once

namespace platform {

// Switches Qt's accessibility events on and has them keep the page's copy.
void startScreenReaderMirror();

// Has the page draw the number pad with buttons of its own, where the program places it.
void showNumberPadInPage();

} // namespace platform
