// SPDX-License-Identifier: GPL-3.0-or-later
// What the record functions take from their caller: the boxes and the wait that tell the player
// about a record another game holds, and the system calls a save makes.
#pragma once

#include "platform/boxes.h"
#include "platform/waiting.h"
#include "systemcalls.h"

namespace records {

// Set by the caller, none by default: the game passes its own, a caller with no window the silent
// ones.
struct RecordServices {
    platform::DialogService *boxes = nullptr;
    platform::WaitService *wait = nullptr;
    const SystemCalls *calls = nullptr;
    // False where no one can answer a box: the program being ended from outside (a signal, the
    // logout, a display gone) or one without a window. A held lock is then waited for briefly
    // and silently, and a beaten record kept aside rather than lost.
    bool mayAsk = true;
};

// These system calls with no box and no wait on screen: messages go to the standard error
// stream and take their default answer.
inline RecordServices silently(const SystemCalls &calls)
{
    return {&platform::silentDialogs(), &platform::silentWait(), &calls, false};
}

// The same system calls, silently.
inline RecordServices quietly(const RecordServices &services)
{
    return silently(*services.calls);
}

} // namespace records
