// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the record files take their rights from the folder: the record directory grants
// the local Users group modify rights inherited by every file made in it, renamed ones included.
#include "sharing.h"

namespace records {

QString directoryOf(const QString &localPath)
{
    const qsizetype slash = localPath.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    // "C:" alone would be the drive's current folder, not its root.
    const bool root = slash == 0 || (slash == 2 && localPath.at(1) == u':');
    return localPath.left(root ? slash + 1 : slash);
}

void shareLikeDirectory(int, const QString &) {}

void shareLikeDirectory(const QString &) {}

} // namespace records
