// SPDX-License-Identifier: GPL-3.0-or-later
// Where the record lives on Windows. The game was designed to keep it in the Windows directory,
// which a standard account may not write since Windows Vista: the machine-wide data folder takes
// its place, open to every account, or the folder an administrator named when installing. The
// installer makes the machine-wide folder and sets its rights; a game makes it only where no
// installer ran (the program unzipped on a stick).
#include "directorylock.h"
#include "entries.h"
#include "pendingfile.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "platform/windowserror.h"
#include "recordfiles.h"
#include "recordfolder_win.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <optional>

#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#ifndef VORANDI_RECORD_DIR
#define VORANDI_RECORD_DIR ""
#endif

namespace records {

namespace {

QString knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    return folder;
}

QString windowsDirectory()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? QString::fromWCharArray(buffer, int(n)) : QString();
}

// The Windows error code, or 0 when the folder was made.
DWORD createSharedFolder(const QString &dir)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(recordFolderSddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return GetLastError();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const BOOL made = CreateDirectoryW(platform::widePath(dir).c_str(), &attributes);
    const DWORD error = made ? 0 : GetLastError();
    LocalFree(descriptor);
    return error;
}

DWORD createPlainFolder(const QString &dir)
{
    return CreateDirectoryW(platform::widePath(dir).c_str(), nullptr) ? 0 : GetLastError();
}

// Makes every missing folder down to dir ("/" separators), dir itself with the shared rights.
// A folder that cannot be made is a RuntimeError naming it, with the reason.
void makeRecordFolder(const QString &dir)
{
    if (QFileInfo(dir).isDir())
        return;
    const QStringList parts = dir.split(u'/');
    // A drive is there or not; so are a network path's server and share ("//server/share").
    const qsizetype made = dir.startsWith(QStringLiteral("//")) ? 4 : 1;
    QString path = parts.mid(0, made).join(u'/');
    for (qsizetype i = made; i < parts.size(); ++i) {
        path += u'/' + parts.at(i);
        const QFileInfo info(path);
        if (parts.at(i).isEmpty() || info.isDir())
            continue;
        if (info.exists())
            platform::throwFolderError(path, ENOTDIR);
        const DWORD error =
            i == parts.size() - 1 ? createSharedFolder(path) : createPlainFolder(path);
        if (error != 0 && error != ERROR_ALREADY_EXISTS)
            platform::throwFolderError(path, platform::errnoFromWindows(error, path));
    }
}

struct RecordPair {
    QByteArray score;
    QByteArray name;
};

// A pair of record files in dir whose score file holds something.
std::optional<RecordPair> pairIn(const QString &dir)
{
    const QString score = dir + u'/' + scoreFileName;
    const QString name = dir + u'/' + nameFileName;
    if (!QFileInfo(score).isFile() || !QFileInfo(name).isFile())
        return std::nullopt;
    RecordPair pair{gameWrittenFile(score, maxRecordFileSize).value_or(QByteArray()),
                    gameWrittenFile(name, maxRecordFileSize).value_or(QByteArray())};
    if (pair.score.isEmpty())
        return std::nullopt;
    return pair;
}

std::optional<RecordPair> highestPair(const QStringList &places)
{
    std::optional<RecordPair> best;
    for (const QString &place : places) {
        const std::optional<RecordPair> pair = pairIn(QDir::fromNativeSeparators(place));
        const auto value = [](const RecordPair &p) {
            return platform::Val(platform::fromCp1252(p.score));
        };
        if (pair && (!best || value(*pair) > value(*best)))
            best = pair;
    }
    return best;
}

bool holdsRecord(const QString &dir)
{
    return QFileInfo(dir + u'/' + scoreFileName).size() > 0 ||
           QFileInfo(dir + u'/' + nameFileName).size() > 0;
}

// Under the directory lock, so that no game's save can fall between the look and the copy. The
// score file goes last: a copy cut short leaves no score and is made again by the next start.
void takeOverOldRecord(const QString &dir, const QStringList &oldPlaces)
{
    // The Windows directory's call has kernel32's contract, which carries no services, and the
    // record files know no window: the take-over waits for a held lock briefly and silently, and
    // a record still held is taken over at a later start.
    const RecordServices services = silently(realSystemCalls());
    DirectoryLock lock(dir, LockPurpose::Reading, services);
    if (holdsRecord(dir))
        return;
    const std::optional<RecordPair> pair = highestPair(oldPlaces);
    if (!pair)
        return;
    PendingFile name(dir + u'/' + nameFileName, pair->name, *services.calls);
    PendingFile score(dir + u'/' + scoreFileName, pair->score, *services.calls);
    name.commit();
    score.commit();
}

// The record folder an administrator named when installing (the installer's RECORDDIR, a lab's
// network share for instance): the installer keeps it in the machine's registry, never per
// account. Empty when none was named.
QString installedRecordFolder()
{
    const QSettings machine(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Vorandi"),
                            QSettings::Registry64Format);
    return machine.value(QStringLiteral("RecordDir")).toString().trimmed();
}

} // namespace

QString sharedRecordFolder()
{
    const QString data = knownFolder(FOLDERID_ProgramData);
    return data.isEmpty() ? QString() : QDir::toNativeSeparators(data + QStringLiteral("/Vorandi"));
}

QStringList oldRecordPlaces()
{
    const QString windows = windowsDirectory();
    if (windows.isEmpty())
        return {};
    QStringList places{windows};
    // C:\Windows is redirected to %LOCALAPPDATA%\VirtualStore\Windows.
    const QString local = knownFolder(FOLDERID_LocalAppData);
    if (!local.isEmpty() && windows.size() > 3 && windows.at(1) == u':')
        places << local + QStringLiteral("\\VirtualStore\\") + windows.mid(3);
    return places;
}

void prepareRecordFolder(const QString &dir, const QStringList &oldPlaces)
{
    const QString local = QDir::cleanPath(QDir::fromNativeSeparators(dir));
    makeRecordFolder(local);
    try {
        takeOverOldRecord(local, oldPlaces);
    } catch (const platform::RuntimeError &) {
        // Only a convenience: the game starts with an empty record, and the files' own errors
        // are reported when the game opens them.
    }
}

QString recordDirectory()
{
    QString dir = installedRecordFolder();
    // Read from the current folder, a relative name would give every start another record.
    if (!dir.isEmpty() && !QDir::isAbsolutePath(QDir::fromNativeSeparators(dir)))
        throw platform::RuntimeError(
            platform::errPathNotFound,
            QStringLiteral("La cartella del record indicata all'installazione (%1) non è un "
                           "percorso completo: va installato di nuovo Vorandi con un percorso "
                           "come C:\\Record o \\\\server\\cartella.")
                .arg(dir));
    if (dir.isEmpty())
        dir = QString::fromUtf8(VORANDI_RECORD_DIR);
    if (dir.isEmpty())
        dir = sharedRecordFolder();
    if (dir.isEmpty())
        return QString();
    dir = QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(dir)));
    prepareRecordFolder(dir, oldRecordPlaces());
    return dir;
}

} // namespace records
