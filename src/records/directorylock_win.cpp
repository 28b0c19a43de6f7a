// SPDX-License-Identifier: GPL-3.0-or-later
// Windows locks files, not folders: the directory's lock is a lock on one file inside it, which
// only an account that may write the folder can open.
#include "directorylock.h"
#include "platform/files.h"
#include "platform/windowserror.h"
#include "systemcalls.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace records {

namespace {

// Errors of a file system that cannot lock at all (some network shares).
bool lockingUnsupported(int errnum)
{
    return errnum == EOPNOTSUPP || errnum == ENOLCK || errnum == EINVAL;
}

} // namespace

void DirectoryLock::take(LockPurpose purpose)
{
    fd_ = platform::openShared(path_, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_HIDDEN, _O_RDWR);
    if (fd_ < 0)
        platform::throwFileError(dir_, errno);
    try {
        waitForLock(path_, purpose, services_, [this] { return tryLock(); });
    } catch (...) {
        _close(fd_);
        throw;
    }
    if (held_)
        ++locksHeldHere(dir_);
}

bool DirectoryLock::tryLock()
{
    if (services_.calls->flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return true;
    }
    const int e = errno;
    if (e == EWOULDBLOCK)
        return false;
    // Losing a beaten record because the disk cannot lock would be worse than saving unlocked.
    if (lockingUnsupported(e))
        return true;
    platform::throwFileError(dir_, e);
}

DirectoryLock::~DirectoryLock()
{
    if (held_)
        --locksHeldHere(dir_);
    if (nested_)
        return;
    if (held_)
        services_.calls->flock(fd_, LOCK_UN);
    _close(fd_);
}

void DirectoryLock::sync()
{
    // Every rename was written through to the disk before it returned.
}

} // namespace records
