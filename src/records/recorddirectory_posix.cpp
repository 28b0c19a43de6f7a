// SPDX-License-Identifier: GPL-3.0-or-later
// Where the record lives on a system without a Windows directory.
#include "platform/files.h"
#include "recordfiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef VORANDI_RECORD_DIR
#define VORANDI_RECORD_DIR ""
#endif

namespace records {

namespace {

// The per-user data directory of the XDG rules: $XDG_DATA_HOME when it is an absolute path (a
// relative one is ignored, or every folder the game starts from would hold a record of its own),
// else .local/share in the home directory; the account's home from the system when HOME is unset
// or not absolute. Empty when there is none.
QString dataHome()
{
    const QString xdg = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    if (xdg.startsWith(u'/'))
        return xdg;
    QString home = QFile::decodeName(qgetenv("HOME"));
    if (!home.startsWith(u'/')) {
        const passwd *account = ::getpwuid(::geteuid());
        home = account && account->pw_dir ? QFile::decodeName(account->pw_dir) : QString();
        if (!home.startsWith(u'/'))
            return QString();
    }
    return (home == QStringLiteral("/") ? QString() : home) + QStringLiteral("/.local/share");
}

// Makes the directory and every missing parent; one that cannot be made is a RuntimeError
// naming it, with the reason the system gave.
void makeDirectory(const QString &dir)
{
    qsizetype end = 0;
    while (end < dir.size()) {
        end = dir.indexOf(u'/', end + 1);
        if (end < 0)
            end = dir.size();
        const QString part = dir.left(end);
        const QByteArray name = QFile::encodeName(part);
        struct stat st {};
        if (::stat(name.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                platform::throwFolderError(part, ENOTDIR);
            continue;
        }
        if (::mkdir(name.constData(), 0777) != 0 && errno != EEXIST)
            platform::throwFolderError(part, errno);
    }
}

} // namespace

QString recordDirectory()
{
    QString dir = QString::fromUtf8(VORANDI_RECORD_DIR);
    if (dir.isEmpty()) {
        const QString data = dataHome();
        if (data.isEmpty())
            return QString();
        dir = data + QStringLiteral("/vorandi");
    }
    dir = QDir::cleanPath(dir);
    makeDirectory(dir);
    return dir;
}

} // namespace records
