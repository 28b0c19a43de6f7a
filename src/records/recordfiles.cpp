// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfiles.h"
#include "directorylock.h"
#include "entries.h"
#include "keptrecord.h"
#include "pendingfile.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "platform/signals.h"
#include "sharing.h"
#include "systemcalls.h"

#include <QFile>

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

// The buffer the Windows call is first given: room for any usual Windows directory; a longer one
// is asked for again with the size the call reports.
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
// renamed over the old files, the name first; the name file it replaces keeps a name of its own
// until the score is in place. A save cut short in between is finished by whoever takes the
// directory lock next, and one whose score cannot be moved puts the old name back: the files
// never hold one game's score with another game's name.
QString committedPath(const QString &localPath)
{
    return localPath + QStringLiteral(".new");
}

QString replacedPath(const QString &localPath)
{
    return localPath + QStringLiteral(".old");
}

void moveIntoPlace(const SystemCalls &calls, const QString &from, const QString &to)
{
    if (calls.rename(systemName(from).constData(), systemName(to).constData()) != 0)
        throwFileError(to, errno);
}

// The score could not follow the new name: the old name goes back (or the new one away, when
// there was none), so the old pair stands whole.
void putOldNameBack(const SystemCalls &calls, const QString &namePath, bool newNameIn)
{
    const QString oldName = replacedPath(namePath);
    if (entryKind(oldName) == EntryKind::Regular)
        calls.rename(systemName(oldName).constData(), systemName(namePath).constData());
    else if (newNameIn)
        removeEntry(namePath);
}

// Renames the committed pair over the record files, the name first, with the signals held back
// so that none can end the program between the two: once the score is in place nothing of the
// save is left to do.
void putPairInPlace(const SystemCalls &calls, const QString &scorePath, const QString &namePath)
{
    // A folder in the score file's place would stop the second move after the first.
    if (entryKind(scorePath) == EntryKind::Directory)
        throwFileError(scorePath, EISDIR);
    const SignalsHeldBack held;
    const bool nameWaits = entryKind(committedPath(namePath)) != EntryKind::None;
    if (nameWaits) {
        if (entryKind(namePath) == EntryKind::Regular)
            moveIntoPlace(calls, namePath, replacedPath(namePath));
        try {
            moveIntoPlace(calls, committedPath(namePath), namePath);
        } catch (const RuntimeError &) {
            putOldNameBack(calls, namePath, false);
            removeEntry(committedPath(namePath));
            removeEntry(committedPath(scorePath));
            throw;
        }
    }
    try {
        moveIntoPlace(calls, committedPath(scorePath), scorePath);
    } catch (const RuntimeError &) {
        putOldNameBack(calls, namePath, nameWaits);
        removeEntry(committedPath(scorePath));
        throw;
    }
    removeEntry(replacedPath(namePath));
}

// Writes the pair whole beside the record files and moves it in place. Under the lock only.
void commitPair(DirectoryLock &lock, const QString &scorePath, const QString &namePath,
                const RecordLines &pair)
{
    const SystemCalls &calls = *lock.services().calls;
    {
        PendingFile holder(namePath, pair.name, calls);
        PendingFile score(scorePath, pair.score, calls);
        holder.commitAs(committedPath(namePath));
        score.commitAs(committedPath(scorePath)); // from here on the new pair is saved
    }
    lock.sync();
    putPairInPlace(calls, scorePath, namePath);
    lock.sync();
}

// Under the lock: completes a save cut short after its commit, only when what it left is exactly
// what a game writes, and from the content checked (a file swapped after the check is never what
// is put in place); then drops whatever else lies at the names a save uses.
void finishInterruptedSave(DirectoryLock &lock, const QString &scorePath, const QString &namePath)
{
    const auto score = gameWrittenFile(committedPath(scorePath), 64);
    const auto name = gameWrittenFile(committedPath(namePath), maxRecordFileSize);
    const bool scoreSound = score && isScoreLine(*score);
    // Cut short between the two moves: the new name is in place, the old one beside it.
    const bool nameMoved = entryKind(committedPath(namePath)) == EntryKind::None &&
                           gameWrittenFile(replacedPath(namePath), maxRecordFileSize);
    if (scoreSound && name && isNameLine(*name)) {
        commitPair(lock, scorePath, namePath, {*score, *name});
    } else if (scoreSound && nameMoved) {
        const SystemCalls &calls = *lock.services().calls;
        PendingFile(scorePath, *score, calls).commitAs(committedPath(scorePath));
        putPairInPlace(calls, scorePath, namePath);
        lock.sync();
    }
    for (const QString &left :
         {committedPath(scorePath), committedPath(namePath), replacedPath(namePath)})
        removeEntry(left);
}

// Under the lock: what a save cut short or a game that had to end left behind.
void tidyUnderLock(DirectoryLock &lock, const QString &scorePath, const QString &namePath)
{
    finishInterruptedSave(lock, scorePath, namePath);
    PendingFile::removeLeftovers(scorePath);
    PendingFile::removeLeftovers(namePath);
    // A record on file is never lowered, and an equal score leaves it to whoever reached it first.
    takeKeptRecords(directoryOf(scorePath), [&](const RecordLines &kept) {
        if (kept.score.chopped(2).toInt() > Val(storedText(scorePath).value_or(QString())))
            commitPair(lock, scorePath, namePath, kept);
    });
}

// A failed save says so first, then which file and why.
RuntimeError notSaved(const RuntimeError &error)
{
    const QString lead = QStringLiteral("Il tuo record non è stato registrato");
    if (error.message().startsWith(lead))
        return error;
    QString why = error.message();
    if (why.startsWith(QStringLiteral("Errore ")))
        why[0] = u'e';
    return RuntimeError(error.number(), lead + QStringLiteral(": ") + why);
}

} // namespace

QString recordName(const QString &typed)
{
    // A CR LF pasted from a Windows text is one line break, so one blank.
    QString name = typed.normalized(QString::NormalizationForm_C);
    name.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : name) {
        const QChar::Category kind = c.category();
        if (kind == QChar::Other_Control || kind == QChar::Separator_Line ||
            kind == QChar::Separator_Paragraph)
            c = u' ';
    }
    return name;
}

QString recordPath(const QString &windowsDir, const QString &fileName)
{
    return windowsDir + u'\\' + fileName;
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

PairReading::PairReading(const QString &windowsDir, const RecordServices &services)
    : lock_(std::make_unique<DirectoryLock>(
          directoryOf(resolvePath(recordPath(windowsDir, scoreFileName))), LockPurpose::Reading,
          services))
{}

PairReading::~PairReading() = default;

void createRecordFiles(const QString &windowsDir, const RecordServices &services)
{
    const int number = FreeFile();
    for (const QString &fileName : {scoreFileName, nameFileName}) {
        const QString path = recordPath(windowsDir, fileName);
        Open(path, OpenMode::Append, number);
        Close(number);
        shareLikeDirectory(resolvePath(path));
    }
    const QString scorePath = resolvePath(recordPath(windowsDir, scoreFileName));
    DirectoryLock lock(directoryOf(scorePath), LockPurpose::Reading, services);
    tidyUnderLock(lock, scorePath, resolvePath(recordPath(windowsDir, nameFileName)));
}

SaveOutcome saveRecord(const QString &windowsDir, const QString &scoreText, const QString &name,
                       const BeatsRecord &beats, const RecordServices &services)
{
    const QString scorePath = resolvePath(recordPath(windowsDir, scoreFileName));
    const QString namePath = resolvePath(recordPath(windowsDir, nameFileName));
    const RecordLines pair{toCp1252(scoreText) + "\r\n", toCp1252(recordName(name)) + "\r\n"};
    try {
        try {
            DirectoryLock lock(directoryOf(scorePath), LockPurpose::Saving, services);
            tidyUnderLock(lock, scorePath, namePath);
            // Another game may have saved a higher record since this one read it.
            if (!beats(Val(storedText(scorePath).value_or(QString()))))
                return SaveOutcome::NotBeaten;
            commitPair(lock, scorePath, namePath, pair);
            return SaveOutcome::Saved;
        } catch (const LockNotFree &) {
            // The program must end and another game holds the record: the next game saves it.
            keepAside(directoryOf(scorePath), pair, *services.calls);
            return SaveOutcome::KeptAside;
        }
    } catch (const RuntimeError &error) {
        throw notSaved(error);
    }
}

} // namespace records
