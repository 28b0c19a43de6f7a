// SPDX-License-Identifier: GPL-3.0-or-later
// Must not compile: the record files know nothing of the game, however the path is spelt.
#include "records/recordfiles.h"

#include "../game/tavola.h"
