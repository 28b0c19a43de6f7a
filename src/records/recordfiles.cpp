#include "recordfiles.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/runtime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef VORANDI_RECORD_DIR
#define VORANDI_RECORD_DIR ""
#endif

namespace records {

using namespace platform;

namespace {

WindowsDirectoryCall &customCall()
{
    static WindowsDirectoryCall call;
    return call;
}

std::uint32_t ownWindowsDirectory(char *buffer, std::uint32_t size)
{
    const QByteArray dir = QFile::encodeName(recordDirectory());
    if (dir.isEmpty())
        return 0;
    const auto needed = std::uint32_t(dir.size() + 1);
    if (needed > size)
        return needed;
    std::memcpy(buffer, dir.constData(), size_t(dir.size()));
    buffer[dir.size()] = '\0';
    return std::uint32_t(dir.size());
}

[[noreturn]] void fail(const QString &path, int errnum)
{
    throw RuntimeError(fileErrorNumber(errnum), fileErrorMessage(path, errnum));
}

// An exclusive lock on the record directory for as long as it lives.
class DirectoryLock {
public:
    explicit DirectoryLock(const QString &dir) : path_(dir)
    {
        fd_ = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0)
            fail(dir, errno);
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int e = errno;
                ::close(fd_);
                fail(dir, e);
            }
        }
    }
    ~DirectoryLock()
    {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    DirectoryLock(const DirectoryLock &) = delete;
    DirectoryLock &operator=(const DirectoryLock &) = delete;
    int fd() const { return fd_; }

private:
    QString path_;
    int fd_ = -1;
};

// A temporary file in the record directory holding one complete line, flushed to the disk.
// Removed again unless it was renamed into place.
class PendingFile {
public:
    PendingFile(const QString &dir, const QString &finalName, const QString &line)
        : final_(dir + u'/' + finalName)
    {
        QByteArray pattern = QFile::encodeName(final_ + QStringLiteral(".XXXXXX"));
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            fail(final_, errno);
        temp_ = pattern;
        // A constructor that throws runs no destructor: the temporary goes here, or a full disk
        // would keep every failed attempt.
        const int e = writeLine(fd, toCp1252(line) + "\r\n");
        if (e != 0) {
            ::unlink(temp_.constData());
            fail(final_, e);
        }
    }
    ~PendingFile()
    {
        if (!temp_.isEmpty())
            ::unlink(temp_.constData());
    }
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    void commitAs(const QString &path)
    {
        if (::rename(temp_.constData(), QFile::encodeName(path).constData()) != 0)
            fail(final_, errno);
        temp_.clear();
    }

private:
    // Writes, flushes and closes; the error number, or 0.
    static int writeLine(int fd, const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int e = n < 0 ? errno : ENOSPC;
                ::close(fd);
                return e;
            }
            done += n;
        }
        if (::fchmod(fd, 0666 & ~currentUmask()) != 0 || ::fsync(fd) != 0) {
            const int e = errno;
            ::close(fd);
            return e;
        }
        return ::close(fd) != 0 ? errno : 0;
    }

    static mode_t currentUmask()
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }

    QString final_;
    QByteArray temp_;
};

// A save moves both new files in place in two steps. Before that it renames them to these
// names, the score last: once the score's is there, the whole new pair is on disk, and a save
// cut short by a crash is finished by whoever takes the lock next.
const QString pendingSuffix = QStringLiteral(".new");

QString pendingPath(const QString &dir, const QString &fileName)
{
    return dir + u'/' + fileName + pendingSuffix;
}

void moveIntoPlace(const QString &from, const QString &to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fail(to, errno);
}

// Under the lock: completes a save that reached its commit, drops one that did not, and removes
// temporary files that a killed save left behind.
void finishInterruptedSave(const QString &dir)
{
    const QString score = pendingPath(dir, scoreFileName);
    const QString holder = pendingPath(dir, nameFileName);
    if (QFileInfo::exists(score)) {
        if (QFileInfo::exists(holder))
            moveIntoPlace(holder, dir + u'/' + nameFileName);
        moveIntoPlace(score, dir + u'/' + scoreFileName);
    } else {
        QFile::remove(holder);
    }
    const QStringList patterns = {scoreFileName + QStringLiteral(".??????"),
                                  nameFileName + QStringLiteral(".??????")};
    for (const QString &stale : QDir(dir).entryList(patterns, QDir::Files | QDir::Hidden))
        QFile::remove(dir + u'/' + stale);
}

QString cleanDirectory(const QString &windowsDir)
{
    const QString dir = localPath(windowsDir);
    return dir.size() > 1 && dir.endsWith(u'/') ? dir.chopped(1) : dir;
}

QString storedScore(const QString &dir)
{
    const QString path = dir + u'/' + scoreFileName;
    if (!QFile::exists(path))
        return QString();
    return readWholeFile(path);
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

QString recordDirectory()
{
    QString dir = QString::fromUtf8(VORANDI_RECORD_DIR);
    if (dir.isEmpty()) {
        const QString data =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (data.isEmpty())
            return QString();
        dir = data + QStringLiteral("/vorandi");
    }
    QDir().mkpath(dir);
    return QDir::cleanPath(dir);
}

QString GetSystemDir()
{
    char buffer[128];
    std::memset(buffer, 0, sizeof buffer);
    const std::uint32_t n = GetWindowsDirectoryA(buffer, sizeof buffer);
    QString text = fromCp1252(QByteArray(buffer, sizeof buffer));
    // Only blanks are trimmed: the zero characters after the text stay until the cut.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    text = text.mid(first, last - first).left(qsizetype(n));
    if (!text.endsWith(u'\\'))
        text += u'\\';
    return text;
}

QString readWholeFile(const QString &path)
{
    const int number = FreeFile();
    Open(path, OpenMode::Input, number);
    QString text;
    try {
        text = Input(LOF(number), number);
    } catch (...) {
        Close(number);
        throw;
    }
    Close(number);
    return text;
}

int createRecordFiles(const QString &windowsDir)
{
    const int number = FreeFile();
    Open(windowsDir + QStringLiteral("\\") + scoreFileName, OpenMode::Append, number);
    Close(number);
    Open(windowsDir + QStringLiteral("\\") + nameFileName, OpenMode::Append, number);
    Close(number);
    const QString dir = cleanDirectory(windowsDir);
    DirectoryLock lock(dir);
    finishInterruptedSave(dir);
    return number;
}

bool saveRecord(const QString &windowsDir, const QString &scoreText, const QString &name)
{
    const QString cleanDir = cleanDirectory(windowsDir);
    DirectoryLock lock(cleanDir);
    finishInterruptedSave(cleanDir);
    // Another game may have saved a higher record since this one read it.
    if (Val(storedScore(cleanDir)) >= CDbl(scoreText))
        return false;
    {
        PendingFile holder(cleanDir, nameFileName, name);
        PendingFile score(cleanDir, scoreFileName, scoreText);
        holder.commitAs(pendingPath(cleanDir, nameFileName));
        score.commitAs(pendingPath(cleanDir, scoreFileName)); // the pair is committed
    }
    ::fsync(lock.fd());
    finishInterruptedSave(cleanDir);
    ::fsync(lock.fd());
    return true;
}

} // namespace records
