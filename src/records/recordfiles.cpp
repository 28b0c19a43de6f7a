// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfiles.h"
#include "directorylock.h"
#include "entries.h"
#include "pendingfile.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "sharing.h"
#include "systemcalls.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <optional>

namespace records {

using namespace platform;

std::uint32_t GetWindowsDirectoryA(char *buffer, std::uint32_t size)
{
    const QString dir = recordDirectory();
    if (dir.isEmpty())
        return 0;
    // UTF-8 rather than the Windows code page, which cannot spell every account's name; the
    // bytes go only to GetSystemDir, which reads them back the same way.
    const QByteArray text = dir.toUtf8();
    const auto needed = std::uint32_t(text.size() + 1);
    if (needed > size)
        return needed;
    std::memcpy(buffer, text.constData(), size_t(text.size()) + 1);
    return std::uint32_t(text.size());
}

namespace {

// The size the Windows call is first asked with, as the game always has; a longer directory is
// asked for again.
constexpr std::uint32_t systemDirBufferSize = 128;

// Files by number, closed however the reading ends.
class ClosingFile {
public:
    explicit ClosingFile(int number) : number_(number) {}
    ~ClosingFile()
    {
        try {
            Close(number_);
        } catch (const RuntimeError &) {
            // A file opened only for reading has nothing left to lose.
        }
    }
    ClosingFile(const ClosingFile &) = delete;
    ClosingFile &operator=(const ClosingFile &) = delete;

private:
    int number_;
};

// The stored score file's text, or nothing when there is no regular file of that name: a link,
// pipe or device planted there counts as no record, and the save replaces it; a folder there is
// a RuntimeError naming it.
std::optional<QString> storedText(const QString &localPath)
{
    switch (entryKind(localPath)) {
    case EntryKind::Regular:
        return readWholeFile(localPath);
    case EntryKind::Directory: // it cannot be replaced: say so before anything moves
        throwFileError(localPath, EISDIR);
    default:
        return std::nullopt;
    }
}

// A save moves the new pair in place in two steps. First both complete files are renamed to
// these names, the score's last: once it is there the whole new pair is on disk. Then they are
// renamed over the old files. A save cut short in between is finished by whoever takes the
// directory lock next, so the files never hold one game's score with another game's name.
QString committedPath(const QString &localPath)
{
    return localPath + QStringLiteral(".new");
}

void moveIntoPlace(const QString &from, const QString &to)
{
    if (callRename(systemName(from).constData(), systemName(to).constData()) != 0)
        throwFileError(to, errno);
}

// What a save of a game leaves as a ".new" file: a regular file of this account or of the
// directory's group, ending its one line with CR LF, a number for the score. Anything else was
// put there by someone else and never replaces a record file.
bool writtenByAGame(const QString &localPath, bool isScore)
{
    if (entryKind(localPath) != EntryKind::Regular || !ownedByPlayerOrGroup(localPath))
        return false;
    static const QRegularExpression number(QStringLiteral("^[0-9]+(\\.[0-9]+)?\r\n$"));
    if (isScore) {
        const auto text = smallFile(localPath, 64);
        return text && number.match(QString::fromLatin1(*text)).hasMatch();
    }
    const auto text = smallFile(localPath, maxRecordFileSize);
    return text && text->endsWith("\r\n");
}

// Renames the committed pair over the record files, the name first: once the score is in place
// nothing of the save is left to do.
void putPairInPlace(const QString &scorePath, const QString &namePath)
{
    // A folder in the score file's place would stop the second move after the first.
    if (entryKind(scorePath) == EntryKind::Directory)
        throwFileError(scorePath, EISDIR);
    if (entryKind(committedPath(namePath)) != EntryKind::None)
        moveIntoPlace(committedPath(namePath), namePath);
    moveIntoPlace(committedPath(scorePath), scorePath);
}

// Under the lock: completes a save that reached its commit, drops one that did not and whatever
// else lies at the pair's ".new" names, and removes the temporary files a killed save left.
void finishInterruptedSave(const QString &scorePath, const QString &namePath)
{
    const QString newName = committedPath(namePath);
    const bool nameSound = entryKind(newName) == EntryKind::None || writtenByAGame(newName, false);
    if (nameSound && writtenByAGame(committedPath(scorePath), true)) {
        putPairInPlace(scorePath, namePath);
    } else {
        removeEntry(committedPath(scorePath));
        removeEntry(newName);
    }
    PendingFile::removeLeftovers(scorePath);
    PendingFile::removeLeftovers(namePath);
}

} // namespace

QString recordPath(const QString &windowsDir, const QString &fileName)
{
    return windowsDir + u'\\' + fileName;
}

WindowsDirectoryCall windowsDirectoryReturning(const QByteArray &text)
{
    return [text](char *buffer, std::uint32_t size) -> std::uint32_t {
        if (text.isNull())
            return 0;
        if (std::uint32_t(text.size()) + 1 > size)
            return std::uint32_t(text.size()) + 1;
        std::memcpy(buffer, text.constData(), size_t(text.size()) + 1);
        return std::uint32_t(text.size());
    };
}

QString GetSystemDir(const WindowsDirectoryCall &call)
{
    std::uint32_t size = systemDirBufferSize;
    QByteArray buffer(size, '\0');
    std::uint32_t n = call(buffer.data(), size);
    // A directory that does not fit: the call answers with the size it needs, so ask again with
    // that size (twice more at most, should the directory change in between).
    for (int again = 0; n > size && again < 3; ++again) {
        size = n;
        buffer = QByteArray(size, '\0');
        n = call(buffer.data(), size);
    }
    if (n >= size)
        n = 0;
    // Blanks only: the code-0 characters after the text stay until the cut. Trimmed and cut as
    // bytes, so a directory name of several bytes a character keeps its length right.
    qsizetype first = 0;
    qsizetype last = buffer.size();
    while (first < last && buffer[first] == ' ')
        ++first;
    while (last > first && buffer[last - 1] == ' ')
        --last;
    QString text = QString::fromUtf8(buffer.mid(first, last - first).left(qsizetype(n)));
    if (!text.endsWith(u'\\'))
        text += u'\\';
    return text;
}

QString readWholeFile(const QString &path)
{
    const int number = FreeFile();
    Open(path, OpenMode::Input, number);
    ClosingFile closing(number);
    const qint64 length = LOF(number);
    if (length > maxRecordFileSize)
        throw RuntimeError(
            errPathFileAccess,
            fileErrorMessage(resolvePath(path), QStringLiteral("è troppo grande per essere un file "
                                                               "dei record (più di 64 MB)")));
    return Input(length, number);
}

PairReading::PairReading(const QString &windowsDir)
    : lock_(std::make_unique<DirectoryLock>(
          directoryOf(resolvePath(recordPath(windowsDir, scoreFileName))), LockPurpose::Reading))
{}

PairReading::~PairReading() = default;

int createRecordFiles(const QString &windowsDir)
{
    const int number = FreeFile();
    for (const QString &fileName : {scoreFileName, nameFileName}) {
        const QString path = recordPath(windowsDir, fileName);
        Open(path, OpenMode::Append, number);
        Close(number);
        shareLikeDirectory(resolvePath(path));
    }
    const QString scorePath = resolvePath(recordPath(windowsDir, scoreFileName));
    DirectoryLock lock(directoryOf(scorePath), LockPurpose::Reading);
    finishInterruptedSave(scorePath, resolvePath(recordPath(windowsDir, nameFileName)));
    return number;
}

bool saveRecord(const QString &windowsDir, const QString &scoreText, const QString &name,
                const BeatsRecord &beats)
{
    const QString scorePath = resolvePath(recordPath(windowsDir, scoreFileName));
    const QString namePath = resolvePath(recordPath(windowsDir, nameFileName));
    DirectoryLock lock(directoryOf(scorePath));
    finishInterruptedSave(scorePath, namePath);
    // Another game may have saved a higher record since this one read it.
    if (!beats(Val(storedText(scorePath).value_or(QString()))))
        return false;
    {
        PendingFile holder(namePath, toCp1252(name) + "\r\n");
        PendingFile score(scorePath, toCp1252(scoreText) + "\r\n");
        holder.commitAs(committedPath(namePath));
        score.commitAs(committedPath(scorePath)); // from here on the new pair is saved
    }
    lock.sync();
    putPairInPlace(scorePath, namePath);
    PendingFile::removeLeftovers(scorePath);
    PendingFile::removeLeftovers(namePath);
    lock.sync();
    return true;
}

} // namespace records
