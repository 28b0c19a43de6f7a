// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures built into the library as Qt resources.
#include "tavola_design.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the registration function of the resource file, which lives in the
// global namespace; a static library would otherwise leave the pictures out of the program.
static bool registerPictures()
{
    Q_INIT_RESOURCE(pics);
    return true;
}

namespace ui {

void initResources()
{
    [[maybe_unused]] static const bool registered = registerPictures();
}

} // namespace ui
