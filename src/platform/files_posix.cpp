// SPDX-License-Identifier: GPL-3.0-or-later
#include "nativefile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::native {

int openRegularFile(const QString &localPath, OpenMode mode)
{
    // Non-blocking only for the open itself: a pipe in a record file's place must not hang it.
    // A link is never followed: it could show or create a file outside the record's folder.
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    switch (mode) {
    case OpenMode::Input:
        flags |= O_RDONLY;
        break;
    case OpenMode::Append:
        flags |= O_WRONLY | O_CREAT | O_APPEND;
        break;
    }
    const QByteArray name = QFile::encodeName(localPath);
    // A link, a pipe or a device is refused before it is opened: opening a device can do harm.
    struct stat seen {};
    if (::lstat(name.constData(), &seen) == 0 && !S_ISREG(seen.st_mode)) {
        errno = S_ISLNK(seen.st_mode) ? ELOOP : S_ISDIR(seen.st_mode) ? EISDIR : ENXIO;
        return -1;
    }
    int fd = -1;
    do {
        fd = ::open(name.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    // A second name of a file (a hard link) could be another account's private file.
    if (!statted || !S_ISREG(st.st_mode) || st.st_nlink > 1) {
        const int e = !statted               ? errno
                      : S_ISDIR(st.st_mode)  ? EISDIR
                      : !S_ISREG(st.st_mode) ? ENXIO
                                             : EMLINK;
        ::close(fd);
        errno = e;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

qint64 readSome(int fd, char *data, qint64 size)
{
    ssize_t n = 0;
    do {
        n = ::read(fd, data, size_t(size));
    } while (n < 0 && errno == EINTR);
    return n;
}

qint64 fileSize(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? qint64(st.st_size) : -1;
}

int closeFile(int fd)
{
    // After EINTR the descriptor is gone all the same.
    return ::close(fd) != 0 && errno != EINTR ? -1 : 0;
}

} // namespace platform::native
