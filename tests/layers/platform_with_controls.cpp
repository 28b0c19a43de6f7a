// SPDX-License-Identifier: GPL-3.0-or-later
// Must not compile: the platform's files, boxes' interface and signals know no window.
#include "platform/files.h"

#include "controls.h"
