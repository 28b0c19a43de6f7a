// SPDX-License-Identifier: GPL-3.0-or-later
// What a window description holds: the design-time settings from which a form builds its
// window and controls at every load.
#pragma once

#include "platform/runtime.h"

#include <QString>

#include <optional>
#include <vector>

namespace platform {

enum class ControlKind { Timer, TextBox, CommandButton, Label, Image };

struct FontDesc {
    QString family;
    double points = 8.25;
    bool bold = false;
    bool italic = false;
};

// Positions and sizes in twips; colours as RGB() makes them.
struct ControlDesc {
    ControlKind kind = ControlKind::Label;
    const char *name = "";
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tabIndex = -1; // -1: no place in the tab order (images, timers)
    QString caption;
    std::optional<FontDesc> font;
    std::optional<Long> foreColor;
    std::optional<Long> backColor; // none: transparent for labels, the system colour otherwise
    bool border = false;
    bool centred = false;
    bool autoSize = false;
    bool enabled = true;
    int maxLength = 0;        // text boxes; 0 means no limit
    bool iconPointer = false; // the toolkit's "icon" pointer
    QString picture;          // resource path; images and graphical buttons
    QString downPicture;      // graphical buttons, while held down
    QString disabledPicture;  // graphical buttons, while disabled
    bool stretch = false;     // images
    int interval = 0;         // timers, milliseconds
    QString toolTip;
    // What a screen reader says of the control, as name and description: "{Label6}" stands for
    // the caption of the label of that name, kept up to date as it changes.
    QString spokenName;
    QString spokenDescription;
    bool quiet = false; // changes of the caption are read on request, never announced (a clock)
};

struct MenuDesc {
    const char *name = "";
    QString caption;
    std::vector<MenuDesc> items; // empty: a command on the bar itself
};

struct WindowDesc {
    QString caption;
    int clientWidth = 0; // twips
    int clientHeight = 0;
    Long backColor = 0;
    QString icon;
    QString cursor;
    int cursorHotX = 0;
    int cursorHotY = 0;
    std::vector<ControlDesc> controls; // stored order: the stacking order, front-most first
    std::vector<MenuDesc> menus;
    QString spokenMenuBarName; // what a screen reader calls the menu bar
};

constexpr int twipsPerPixel = 15;

constexpr int pixels(int twips)
{
    return twips / twipsPerPixel;
}

} // namespace platform
