// SPDX-License-Identifier: GPL-3.0-or-later
// Must not compile: the rules show no box.
#include "rules/drill.h"

#include "dialogs.h"
