// SPDX-License-Identifier: GPL-3.0-or-later
// The look of every window and box of the program.
#pragma once

class QStyle;

namespace platform {

// Fusion, without icons on the buttons of boxes: looking them up in the icon themes costs more
// than the rest of the start-up, and the boxes show none on a desktop without a theme anyway.
QStyle *applicationStyle();

} // namespace platform
