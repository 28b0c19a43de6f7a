// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windowserror.h"
#include "systemcalls.h"

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace records {

ssize_t systemWrite(int fd, const void *data, std::size_t size)
{
    DWORD written = 0;
    const auto chunk = DWORD(std::min<std::size_t>(size, std::size_t(1) << 30));
    if (!WriteFile(platform::handleOf(fd), data, chunk, &written, nullptr))
        return platform::failWithLastError();
    return ssize_t(written);
}

int systemRename(const char *from, const char *to)
{
    const QString target = QString::fromUtf8(to);
    // Write-through: the call returns only when the new name is on the disk.
    if (!MoveFileExW(platform::widePath(QString::fromUtf8(from)).c_str(),
                     platform::widePath(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        // Windows says only "access denied" when a folder stands at the name.
        const DWORD attributes = GetFileAttributesW(platform::widePath(target).c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        errno = folder ? EISDIR : platform::errnoFromWindows(error, target);
        return -1;
    }
    return 0;
}

int systemFlock(int fd, int operation)
{
    // The whole file's range, so every game asks for the very same lock.
    OVERLAPPED whole{};
    const BOOL done = (operation & LOCK_UN)
                          ? UnlockFileEx(platform::handleOf(fd), 0, MAXDWORD, MAXDWORD, &whole)
                          : LockFileEx(platform::handleOf(fd),
                                       ((operation & LOCK_EX) ? LOCKFILE_EXCLUSIVE_LOCK : 0) |
                                           ((operation & LOCK_NB) ? LOCKFILE_FAIL_IMMEDIATELY : 0),
                                       0, MAXDWORD, MAXDWORD, &whole);
    if (done)
        return 0;
    if ((operation & LOCK_NB) && GetLastError() == ERROR_LOCK_VIOLATION) {
        errno = EWOULDBLOCK; // what flock says of a lock held elsewhere
        return -1;
    }
    return platform::failWithLastError();
}

int systemCreateNew(const QByteArray &name)
{
    return platform::openShared(QString::fromUtf8(name), GENERIC_WRITE, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, _O_WRONLY);
}

int systemFlush(int fd)
{
    return FlushFileBuffers(platform::handleOf(fd)) ? 0 : platform::failWithLastError();
}

int systemClose(int fd)
{
    return _close(fd);
}

int systemRemove(const QByteArray &name)
{
    const QString path = QString::fromUtf8(name);
    return DeleteFileW(platform::widePath(path).c_str()) ? 0 : platform::failWithLastError(path);
}

QByteArray systemName(const QString &localPath)
{
    return localPath.toUtf8();
}

} // namespace records
