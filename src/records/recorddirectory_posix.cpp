// SPDX-License-Identifier: GPL-3.0-or-later
// Where the record lives on a system without a Windows directory.
#include "recordfiles.h"

#include <QDir>
#include <QStandardPaths>

#ifndef VORANDI_RECORD_DIR
#define VORANDI_RECORD_DIR ""
#endif

namespace records {

QString recordDirectory()
{
    QString dir = QString::fromUtf8(VORANDI_RECORD_DIR);
    if (dir.isEmpty()) {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (data.isEmpty())
            return QString();
        dir = data + QStringLiteral("/vorandi");
    }
    // A directory that cannot be made shows up when its files are opened, with the reason.
    QDir().mkpath(dir);
    return QDir::cleanPath(dir);
}

} // namespace records
