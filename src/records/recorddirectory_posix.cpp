// SPDX-License-Identifier: GPL-3.0-or-later
// Where the record lives on a system without a Windows directory.
#include "platform/files.h"
#include "platform/runtime.h"
#include "recordfiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef VORANDI_RECORD_DIR
#define VORANDI_RECORD_DIR ""
#endif

namespace records {

namespace {

// "/.vora.kept-" and twice eight digits with a "-" between (a record kept aside while it is
// written), the longest name the game gives a file in the folder, and a zero byte.
constexpr qsizetype longestFileName = 31;

// A path from the system as text. The game's paths are text, which holds every path of this
// system's encoding (UTF-8); a path with bytes that are not would come back as another folder's
// name, so it is refused, naming what could be read of it.
QString pathText(const QByteArray &bytes)
{
    const QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) != bytes)
        throw platform::RuntimeError(
            platform::errPathNotFound,
            platform::fileErrorMessage(text, QStringLiteral("il nome della cartella contiene "
                                                            "caratteri che non sono testo UTF-8, e "
                                                            "il gioco non può usarla; rinomina la "
                                                            "cartella")));
    return text;
}

// The per-user data directory of the XDG rules: $XDG_DATA_HOME when it is an absolute path (a
// relative one is ignored, or every folder the game starts from would hold a record of its own),
// else .local/share in the home directory; the account's home from the system when HOME is unset
// or not absolute. Empty when there is none.
QString dataHome()
{
    const QString xdg = pathText(qgetenv("XDG_DATA_HOME"));
    if (xdg.startsWith(u'/'))
        return xdg;
    QString home = pathText(qgetenv("HOME"));
    if (!home.startsWith(u'/')) {
        const passwd *account = ::getpwuid(::geteuid());
        home = account && account->pw_dir ? pathText(account->pw_dir) : QString();
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
    QString dir = pathText(VORANDI_RECORD_DIR);
    if (dir.isEmpty()) {
        const QString data = dataHome();
        if (data.isEmpty())
            return QString();
        dir = data + QStringLiteral("/vorandi");
    }
    dir = QDir::cleanPath(dir);
    // The system's limit holds for the whole path of every file the game makes in the folder:
    // refused before any part of the path is made.
    if (QFile::encodeName(dir).size() + longestFileName >= PATH_MAX)
        platform::throwFileError(dir, ENAMETOOLONG);
    makeDirectory(dir);
    return dir;
}

} // namespace records
