// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemcalls.h"

namespace records {

const SystemCalls &realSystemCalls()
{
    static const SystemCalls real;
    return real;
}

} // namespace records
