// SPDX-License-Identifier: GPL-3.0-or-later
// The window Tavola as designed: every control, menu and picture at its design-time settings.
#pragma once

#include "widgets/design.h"

namespace ui {

// Characters the answer box takes: enough for the largest answer, 100, and a sign.
constexpr int answerLength = 4;

const platform::WindowDesc &tavolaDesign();

// Makes the pictures built into the program available (a static library drops them otherwise).
void initResources();

} // namespace ui
