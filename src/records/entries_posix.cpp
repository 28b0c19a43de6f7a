// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries.h"
#include "sharing.h"

#include <QFile>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace records {

EntryKind entryKind(const QString &localPath)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(localPath).constData(), &st) != 0)
        return EntryKind::None;
    if (S_ISREG(st.st_mode))
        return EntryKind::Regular;
    return S_ISDIR(st.st_mode) ? EntryKind::Directory : EntryKind::Other;
}

namespace {

// The content of a regular file with one link, of at most limit bytes, that passes owned; checked
// and read through one descriptor opened without following a link.
std::optional<QByteArray> checkedContent(const QString &localPath, qint64 limit,
                                         const std::function<bool(const struct stat &)> &owned)
{
    const int fd = ::open(QFile::encodeName(localPath).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> content;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_size <= limit &&
        owned(st)) {
        QByteArray bytes(qsizetype(st.st_size), '\0');
        if (::read(fd, bytes.data(), size_t(bytes.size())) == ssize_t(bytes.size()))
            content = bytes;
    }
    ::close(fd);
    return content;
}

} // namespace

std::optional<QByteArray> gameWrittenFile(const QString &localPath, qint64 limit)
{
    return checkedContent(localPath, limit, [&localPath](const struct stat &st) {
        struct stat dir {};
        return ::stat(QFile::encodeName(directoryOf(localPath)).constData(), &dir) == 0 &&
               (st.st_uid == ::geteuid() || st.st_gid == dir.st_gid);
    });
}

std::optional<QByteArray> regularFileContent(const QString &localPath, qint64 limit)
{
    return checkedContent(localPath, limit, [](const struct stat &) { return true; });
}

void removeEntry(const QString &localPath)
{
    const QByteArray name = QFile::encodeName(localPath);
    if (entryKind(localPath) == EntryKind::Directory)
        ::rmdir(name.constData());
    else
        ::unlink(name.constData());
}

} // namespace records
