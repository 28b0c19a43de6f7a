// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace records {

namespace {

mode_t bitsFor(const QString &dir)
{
    struct stat st {};
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0)
        return 0;
    mode_t bits = 0;
    if (st.st_mode & S_IWGRP)
        bits |= S_IRGRP | S_IWGRP;
    if (st.st_mode & S_IWOTH)
        bits |= S_IROTH | S_IWOTH;
    // A shared directory that everyone may read shows its record to everyone, whatever the umask
    // of the account that saved last; a directory of one account's own stays as its umask says.
    if (bits != 0 && (st.st_mode & S_IROTH))
        bits |= S_IROTH;
    return bits;
}

} // namespace

QString directoryOf(const QString &localPath)
{
    const qsizetype slash = localPath.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : localPath.left(slash);
}

void shareLikeDirectory(int fd, const QString &dir)
{
    const mode_t wanted = bitsFor(dir);
    struct stat st {};
    // A file with a second name may be private elsewhere: never widened.
    if (wanted == 0 || ::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || st.st_nlink != 1)
        return;
    if ((st.st_mode & wanted) != wanted)
        ::fchmod(fd, (st.st_mode & 07777) | wanted);
}

void shareLikeDirectory(const QString &localPath)
{
    const int fd = ::open(QFile::encodeName(localPath).constData(),
                          O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return;
    shareLikeDirectory(fd, directoryOf(localPath));
    ::close(fd);
}

} // namespace records
