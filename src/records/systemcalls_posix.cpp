// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemcalls.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace records {

ssize_t systemWrite(int fd, const void *data, std::size_t size)
{
    return ::write(fd, data, size);
}

int systemRename(const char *from, const char *to)
{
    return std::rename(from, to);
}

// flock's operations over a write lock of the open file (not of the process), which needs the file
// open for writing: an account that may only read the lock file cannot take it.
int systemFlock(int fd, int operation)
{
    struct flock whole {};
    whole.l_type = (operation & LOCK_UN) ? F_UNLCK : (operation & LOCK_EX) ? F_WRLCK : F_RDLCK;
    whole.l_whence = SEEK_SET;
    return ::fcntl(fd, (operation & LOCK_NB) ? F_OFD_SETLK : F_OFD_SETLKW, &whole);
}

int systemCreateNew(const QByteArray &name)
{
    // 0666 lets the umask decide, as for any file the program creates.
    return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int systemFlush(int fd)
{
    return ::fsync(fd);
}

int systemClose(int fd)
{
    return ::close(fd);
}

int systemRemove(const QByteArray &name)
{
    return ::unlink(name.constData());
}

QByteArray systemName(const QString &localPath)
{
    return QFile::encodeName(localPath);
}

} // namespace records
