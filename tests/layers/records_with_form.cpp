// SPDX-License-Identifier: GPL-3.0-or-later
// Must not compile: the record files know no window.
#include "records/recordfiles.h"

#include "widgets/form.h"
