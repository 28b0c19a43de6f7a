// SPDX-License-Identifier: GPL-3.0-or-later
#include "display.h"

#include <cstdio>

#include <windows.h>

namespace platform {

namespace {

bool goesNowhere(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE ||
           GetFileType(handle) == FILE_TYPE_UNKNOWN;
}

} // namespace

bool commandsWaitForTheirEvent()
{
    return false;
}

bool displayAvailable()
{
    return true;
}

// A window program gets no console of its own, so "vorandi --help" typed in a command prompt
// would print nothing: borrow the prompt's console for the streams nobody redirected.
void useStartingTerminal()
{
    const bool out = goesNowhere(STD_OUTPUT_HANDLE);
    const bool err = goesNowhere(STD_ERROR_HANDLE);
    if (!(out || err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (out)
        std::freopen("CONOUT$", "w", stdout);
    if (err)
        std::freopen("CONOUT$", "w", stderr);
}

} // namespace platform
