// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace records {

EntryKind entryKind(const QString &localPath)
{
    const QFileInfo info(localPath);
    if (info.isSymLink() || info.isJunction())
        return EntryKind::Other;
    if (!info.exists())
        return EntryKind::None;
    if (info.isDir())
        return EntryKind::Directory;
    return info.isFile() ? EntryKind::Regular : EntryKind::Other;
}

std::optional<QByteArray> gameWrittenFile(const QString &localPath, qint64 limit)
{
    // The record folder's rights let only its Users group write there.
    if (entryKind(localPath) != EntryKind::Regular)
        return std::nullopt;
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > limit)
        return std::nullopt;
    return file.readAll();
}

std::optional<QByteArray> regularFileContent(const QString &localPath, qint64 limit)
{
    return gameWrittenFile(localPath, limit);
}

void removeEntry(const QString &localPath)
{
    if (entryKind(localPath) == EntryKind::Directory)
        QDir().rmdir(localPath);
    else
        QFile::remove(localPath);
}

} // namespace records
