// SPDX-License-Identifier: GPL-3.0-or-later
// Must not compile: the window description knows nothing of the game, however the path is spelt.
#include "ui/tavola_design.h"

#include "../rules/drill.h"
