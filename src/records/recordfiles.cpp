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
#include "savejournal.h"
#include "sharing.h"
#include "systemcalls.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

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

// A save's steps (see savejournal.h): the journal, then the name file, then the score file, each
// put in place by one rename; the journal goes once both are there.
QString journalPath(const QString &scorePath)
{
    return directoryOf(scorePath) + u'/' + journalFileName;
}

// The pair's two files written whole beside the record files, ready to be renamed over them.
class WrittenPair {
public:
    WrittenPair(const SystemCalls &calls, const QString &scorePath, const QString &namePath,
                const RecordLines &pair)
        : holder_(namePath, pair.name, calls), score_(scorePath, pair.score, calls)
    {
        // A folder in the score file's place would stop the second move after the first.
        if (entryKind(scorePath) == EntryKind::Directory)
            throwFileError(scorePath, EISDIR);
    }

    // The name first, with the signals held back so that none ends the program between the two.
    void moveIn()
    {
        const SignalsHeldBack held;
        holder_.commit();
        score_.commit();
    }

private:
    PendingFile holder_;
    PendingFile score_;
};

// The score could not follow the new name: what stood at the name file's place goes back (its
// content, or nothing when it was no file the game could read), so the old pair stands whole.
void putOldNameBack(const SystemCalls &calls, const QString &namePath, const Standing &before)
{
    if (standingAt(namePath).identity == before.identity)
        return;
    if (before.content)
        PendingFile(namePath, *before.content, calls).commit();
    else
        removeEntry(namePath);
}

// The save failed after its journal, and the journal could not be removed (or the old name put
// back): the next game completes the save from it. The player is told so, not that nothing was
// saved.
// A file error's message, to follow a colon.
QString asClause(const RuntimeError &error)
{
    QString why = error.message();
    if (why.startsWith(QStringLiteral("Errore ")))
        why[0] = u'e';
    return why;
}

RuntimeError leftToTheNextGame(const RuntimeError &error)
{
    return RuntimeError(error.number(),
                        QStringLiteral("Il tuo record non è stato registrato del tutto: %1 La "
                                       "prossima partita di Vorandi lo completerà.")
                            .arg(asClause(error)));
}

// Writes the pair in place through a journal. Under the lock only.
void commitPair(DirectoryLock &lock, const QString &scorePath, const QString &namePath,
                const RecordLines &pair)
{
    const SystemCalls &calls = *lock.services().calls;
    const QString journal = journalPath(scorePath);
    const Standing nameBefore = standingAt(namePath);
    WrittenPair written(calls, scorePath, namePath, pair);
    PendingFile(journal, journalBytes({standingAt(scorePath).identity, nameBefore.identity, pair}),
                calls)
        .commit();
    lock.sync();
    try {
        written.moveIn();
    } catch (const RuntimeError &error) {
        try {
            putOldNameBack(calls, namePath, nameBefore);
        } catch (const RuntimeError &) {
            throw leftToTheNextGame(error);
        }
        removeEntry(journal);
        if (entryKind(journal) != EntryKind::None)
            throw leftToTheNextGame(error);
        throw;
    }
    lock.sync();
    removeEntry(journal);
}

// Under the lock: completes a save cut short after its journal, only while the record files hold
// what that save left (see savejournal.h); a journal that is not what a game writes, or whose pair
// was replaced since, is removed unused. Files at the names an earlier version of the game used
// for a save in progress belong to no save of this one: removed, never put in place.
void finishInterruptedSave(DirectoryLock &lock, const QString &scorePath, const QString &namePath)
{
    for (const QString &left :
         {scorePath + QStringLiteral(".new"), namePath + QStringLiteral(".new"),
          namePath + QStringLiteral(".old")})
        removeEntry(left);
    const QString journal = journalPath(scorePath);
    if (entryKind(journal) == EntryKind::None)
        return;
    const auto bytes = gameWrittenFile(journal, 2 * maxRecordFileSize);
    const auto save = bytes ? parseJournal(*bytes) : std::nullopt;
    if (save && pairBelongsTo(*save, scorePath, namePath)) {
        WrittenPair(*lock.services().calls, scorePath, namePath, save->pair).moveIn();
        lock.sync();
    }
    removeEntry(journal);
}

// Under the lock: what a save cut short or a game that had to end left behind.
void tidyUnderLock(DirectoryLock &lock, const QString &scorePath, const QString &namePath)
{
    finishInterruptedSave(lock, scorePath, namePath);
    for (const QString &path : {scorePath, namePath, journalPath(scorePath)})
        PendingFile::removeLeftovers(path);
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
    if (error.message().startsWith(QStringLiteral("Il tuo record ")))
        return error;
    return RuntimeError(error.number(), lead + QStringLiteral(": ") + asClause(error));
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

namespace {

// An editor's byte-order mark says how the text in the file is written: UTF-8 (as older Notepad
// saves it) or UTF-16. Such a file is read as the text it holds, the mark left out; any other file
// is Windows-1252, one byte a character, as the game writes it.
QString textBehindByteOrderMark(const QString &asWindows1252)
{
    const QByteArray head = toCp1252(asWindows1252.left(3));
    if (head.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(toCp1252(asWindows1252).mid(3));
    for (const auto &[mark, encoding] : {std::pair{"\xFF\xFE", QStringDecoder::Utf16LE},
                                         std::pair{"\xFE\xFF", QStringDecoder::Utf16BE}})
        if (head.startsWith(mark))
            return QStringDecoder(encoding).decode(toCp1252(asWindows1252).mid(2));
    return asWindows1252;
}

} // namespace

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
    return textBehindByteOrderMark(Input(length, number));
}

PairReading::PairReading(const QString &windowsDir, const RecordServices &services)
    : lock_(std::make_unique<DirectoryLock>(
          directoryOf(resolvePath(recordPath(windowsDir, scoreFileName))), LockPurpose::Reading,
          services))
{}

PairReading::~PairReading() = default;

void createRecordFiles(const QString &windowsDir, const RecordServices &services)
{
    const QString scorePath = resolvePath(recordPath(windowsDir, scoreFileName));
    // A save cut short is finished first, before a missing file is made empty, so that what the
    // files held when it began is still there to compare.
    if (QFileInfo(directoryOf(scorePath)).isDir()) {
        DirectoryLock lock(directoryOf(scorePath), LockPurpose::Reading, services);
        tidyUnderLock(lock, scorePath, resolvePath(recordPath(windowsDir, nameFileName)));
    }
    const int number = FreeFile();
    for (const QString &fileName : {scoreFileName, nameFileName}) {
        const QString path = recordPath(windowsDir, fileName);
        Open(path, OpenMode::Append, number);
        Close(number);
        shareLikeDirectory(resolvePath(path));
    }
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
