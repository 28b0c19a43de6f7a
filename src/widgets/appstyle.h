// SPDX-License-Identifier: GPL-3.0-or-later
// The look of every window and box of the program.
#pragma once

class QObject;
class QStyle;

namespace platform {

// Fusion, without icons on the buttons of boxes: looking them up in the icon themes costs more
// than the rest of the start-up, and the boxes show none on a desktop without a theme anyway.
QStyle *applicationStyle();

// The menu bar's look: in keyboard mode (Alt or F10) the entry the arrows are on is marked, as
// it is while its list is open. Owned by `owner`.
QStyle *menuBarStyle(QObject *owner);

} // namespace platform
