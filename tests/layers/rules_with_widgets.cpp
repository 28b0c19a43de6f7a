// SPDX-License-Identifier: GPL-3.0-or-later
// Must not compile: the rules see Qt Core alone.
#include "rules/drill.h"

#include <QWidget>
