// SPDX-License-Identifier: GPL-3.0-or-later
#include "nativefile.h"
#include "windowserror.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {

void *handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

namespace {

// The nearest part of the path that exists: a file there means the path runs through a file.
int missingPathError(const QString &localPath)
{
    QString part = QDir::fromNativeSeparators(localPath);
    while (part.contains(u'/')) {
        part.truncate(part.lastIndexOf(u'/'));
        const QFileInfo info(part);
        if (info.exists())
            return info.isDir() ? ENOENT : ENOTDIR;
    }
    return ENOENT;
}

} // namespace

int errnoFromWindows(unsigned long error, const QString &localPath)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return ENOENT;
    case ERROR_PATH_NOT_FOUND:
        return localPath.isEmpty() ? ENOENT : missingPathError(localPath);
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return EOPNOTSUPP;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NETPATH:
    case ERROR_UNEXP_NET_ERR:
        return ESTALE;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_IO_DEVICE:
        return EIO;
    default:
        return EINVAL;
    }
}

int failWithLastError(const QString &localPath)
{
    errno = errnoFromWindows(GetLastError(), localPath);
    return -1;
}

std::wstring widePath(const QString &localPath)
{
    const QString native = QDir::toNativeSeparators(localPath);
    // Past this length the plain form fails (folders need room for an 8.3 name inside them);
    // the \\?\ form takes the path exactly as it stands, so only a whole, clean one gets it.
    constexpr qsizetype plainLimit = MAX_PATH - 12;
    const QString verbatim = QStringLiteral("\\\\?\\");
    if (native.size() < plainLimit || native.startsWith(verbatim))
        return native.toStdWString();
    const QString clean = QDir::toNativeSeparators(QDir::cleanPath(localPath));
    if (clean.startsWith(QStringLiteral("\\\\")))
        return (verbatim + QStringLiteral("UNC\\") + clean.mid(2)).toStdWString();
    if (clean.size() > 2 && clean.at(1) == u':' && clean.at(2) == u'\\')
        return (verbatim + clean).toStdWString();
    return native.toStdWString();
}

int openShared(const QString &localPath, unsigned long access, unsigned long disposition,
               unsigned long attributes, int crtFlags)
{
    const HANDLE handle = CreateFileW(widePath(localPath).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failWithLastError(localPath);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), crtFlags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

} // namespace platform
