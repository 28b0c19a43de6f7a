// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfiles.h"
#include "directorylock.h"
#include "pendingfile.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "sharing.h"
#include "systemcalls.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <optional>

namespace records {

using namespace platform;

namespace {

constexpr std::uint32_t systemDirBufferSize = 128;

WindowsDirectoryCall &customCall()
{
    static WindowsDirectoryCall call;
    return call;
}

std::uint32_t ownWindowsDirectory(char *buffer, std::uint32_t size)
{
    const QString dir = recordDirectory();
    if (dir.isEmpty())
        return 0;
    const QByteArray text = QFile::encodeName(dir);
    const auto needed = std::uint32_t(text.size() + 1);
    if (needed > size)
        return needed;
    std::memcpy(buffer, text.constData(), size_t(text.size()) + 1);
    return std::uint32_t(text.size());
}

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

QString recordPath(const QString &windowsDir, const QString &fileName)
{
    return windowsDir + u'\\' + fileName;
}

// The stored score file's text, or nothing when there is no such file.
std::optional<QString> storedText(const QString &localPath)
{
    if (!QFileInfo::exists(localPath))
        return std::nullopt;
    return readWholeFile(localPath);
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

// Under the lock: completes a save that reached its commit, drops one that did not, and removes
// the temporary files a killed save left behind.
void finishInterruptedSave(const QString &scorePath, const QString &namePath)
{
    if (QFileInfo::exists(committedPath(scorePath))) {
        if (QFileInfo::exists(committedPath(namePath)))
            moveIntoPlace(committedPath(namePath), namePath);
        moveIntoPlace(committedPath(scorePath), scorePath);
    } else {
        QFile::remove(committedPath(namePath));
    }
    PendingFile::removeLeftovers(scorePath);
    PendingFile::removeLeftovers(namePath);
}

} // namespace

std::uint32_t GetWindowsDirectoryA(char *buffer, std::uint32_t size)
{
    if (customCall())
        return customCall()(buffer, size);
    return ownWindowsDirectory(buffer, size);
}

void setWindowsDirectoryCall(WindowsDirectoryCall call)
{
    customCall() = std::move(call);
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

QString GetSystemDir()
{
    QByteArray buffer(systemDirBufferSize, '\0');
    const std::uint32_t n = GetWindowsDirectoryA(buffer.data(), systemDirBufferSize);
    // Blanks only: the code-0 characters after the text stay until the cut. Trimmed and cut as
    // bytes, so a directory name of several bytes a character keeps its length right.
    qsizetype first = 0;
    qsizetype last = buffer.size();
    while (first < last && buffer[first] == ' ')
        ++first;
    while (last > first && buffer[last - 1] == ' ')
        --last;
    QString text = QFile::decodeName(buffer.mid(first, last - first).left(qsizetype(n)));
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
    DirectoryLock lock(directoryOf(scorePath));
    finishInterruptedSave(scorePath, resolvePath(recordPath(windowsDir, nameFileName)));
    return number;
}

bool saveRecord(const QString &windowsDir, const QString &scoreText, const QString &name)
{
    const QString scorePath = resolvePath(recordPath(windowsDir, scoreFileName));
    const QString namePath = resolvePath(recordPath(windowsDir, nameFileName));
    DirectoryLock lock(directoryOf(scorePath));
    finishInterruptedSave(scorePath, namePath);
    // Another game may have saved a higher record since this one read it.
    if (Val(storedText(scorePath).value_or(QString())) >= CDbl(scoreText))
        return false;
    {
        PendingFile holder(namePath, toCp1252(name) + "\r\n");
        PendingFile score(scorePath, toCp1252(scoreText) + "\r\n");
        holder.commitAs(committedPath(namePath));
        score.commitAs(committedPath(scorePath)); // from here on the new pair is saved
    }
    lock.sync();
    finishInterruptedSave(scorePath, namePath);
    lock.sync();
    return true;
}

} // namespace records
