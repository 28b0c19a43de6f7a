// SPDX-License-Identifier: GPL-3.0-or-later
#include "directorylock.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "systemcalls.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace records {

namespace {

// Errors of a file system that cannot lock at all (some network shares), as opposed to a
// directory that is not there or not ours to read.
bool lockingUnsupported(int errnum)
{
    return errnum == ENOLCK || errnum == EOPNOTSUPP || errnum == EINVAL || errnum == EBADF;
}

} // namespace

DirectoryLock::DirectoryLock(const QString &dir)
{
    const QByteArray name = QFile::encodeName(dir);
    do {
        fd_ = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        platform::throwFileError(dir, errno);
    }
    int result = 0;
    do {
        result = callFlock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        held_ = true;
        return;
    }
    const int e = errno;
    // Losing a beaten record because the disk cannot lock would be worse than saving unlocked.
    if (lockingUnsupported(e))
        return;
    ::close(fd_);
    platform::throwFileError(dir, e);
}

DirectoryLock::~DirectoryLock()
{
    if (held_)
        callFlock(fd_, LOCK_UN);
    ::close(fd_);
}

void DirectoryLock::sync()
{
    // The renames are already visible; a file system that cannot flush a directory still has them.
    ::fsync(fd_);
}

} // namespace records
