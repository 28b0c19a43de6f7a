// SPDX-License-Identifier: GPL-3.0-or-later
// What the record functions take from their caller: the boxes and the wait that tell the player
// about a record another game holds, and the system calls a save makes.
#pragma once

#include "platform/dialogs.h"
#include "platform/waiting.h"
#include "systemcalls.h"

namespace records {

struct RecordServices {
    platform::DialogService *boxes = &platform::qtDialogs();
    platform::WaitService *wait = &platform::qtWait();
    const SystemCalls *calls = &realSystemCalls();
    // False where no one can answer a box: the program being ended from outside (a signal, the
    // logout, a display gone) or one without a window. A held lock is then waited for briefly
    // and silently, and a beaten record kept aside rather than lost.
    bool mayAsk = true;
};

// The same system calls with no box and no wait on screen: messages go to the standard error
// stream and take their default answer.
inline RecordServices quietly(const RecordServices &services)
{
    return {&platform::silentDialogs(), &platform::silentWait(), services.calls, false};
}

} // namespace records
