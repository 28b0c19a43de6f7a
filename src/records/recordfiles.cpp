#include "recordfiles.h"
#include "directorylock.h"
#include "pendingfile.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "sharing.h"
#include "systemcalls.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef VORANDI_RECORD_DIR
#define VORANDI_RECORD_DIR ""
#endif

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
                throwFileError(part, ENOTDIR);
            continue;
        }
        if (::mkdir(name.constData(), 0777) != 0 && errno != EEXIST)
            throwFileError(part, errno);
    }
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

// The stored score file's text, or nothing when there is no regular file of that name: a link,
// pipe or device planted there counts as no record, and the save replaces it; a folder there is
// a RuntimeError naming it.
std::optional<QString> storedText(const QString &localPath)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(localPath).constData(), &st) != 0)
        return std::nullopt;
    if (S_ISDIR(st.st_mode)) // a folder cannot be replaced: say so before anything moves
        throwFileError(localPath, EISDIR);
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return readWholeFile(localPath);
}

bool entryExists(const QString &localPath)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(localPath).constData(), &st) == 0;
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
    if (callRename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throwFileError(to, errno);
}

// The whole content of a small regular file, read without following a link; nothing when it is
// not one or holds more than limit bytes.
std::optional<QByteArray> smallFile(const QString &localPath, qint64 limit)
{
    const int fd = ::open(QFile::encodeName(localPath).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> content;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= limit) {
        QByteArray bytes(qsizetype(st.st_size), '\0');
        if (::read(fd, bytes.data(), size_t(bytes.size())) == ssize_t(bytes.size()))
            content = bytes;
    }
    ::close(fd);
    return content;
}

// What a save of a game leaves as a ".new" file: a regular file of this account or of the
// directory's group, ending its one line with CR LF, a number for the score. Anything else was
// put there by someone else and never replaces a record file.
bool writtenByAGame(const QString &localPath, bool isScore)
{
    struct stat st {};
    struct stat dir {};
    if (::lstat(QFile::encodeName(localPath).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::stat(QFile::encodeName(directoryOf(localPath)).constData(), &dir) != 0)
        return false;
    if (st.st_uid != ::geteuid() && st.st_gid != dir.st_gid)
        return false;
    static const QRegularExpression number(QStringLiteral("^[0-9]+(\\.[0-9]+)?\r\n$"));
    if (isScore) {
        const auto text = smallFile(localPath, 64);
        return text && number.match(QString::fromLatin1(*text)).hasMatch();
    }
    const auto text = smallFile(localPath, maxRecordFileSize);
    return text && text->endsWith("\r\n");
}

// Removes what lies at a ".new" name that no game wrote; a folder only when it is empty.
void discardPlanted(const QString &localPath)
{
    const QByteArray name = QFile::encodeName(localPath);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        ::rmdir(name.constData());
    else
        ::unlink(name.constData());
}

// Renames the committed pair over the record files, the name first: once the score is in place
// nothing of the save is left to do.
void putPairInPlace(const QString &scorePath, const QString &namePath)
{
    struct stat st {};
    // A folder in the score file's place would stop the second move after the first.
    if (::lstat(QFile::encodeName(scorePath).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        throwFileError(scorePath, EISDIR);
    if (entryExists(committedPath(namePath)))
        moveIntoPlace(committedPath(namePath), namePath);
    moveIntoPlace(committedPath(scorePath), scorePath);
}

// Under the lock: completes a save that reached its commit, drops one that did not and whatever
// else lies at the pair's ".new" names, and removes the temporary files a killed save left.
void finishInterruptedSave(const QString &scorePath, const QString &namePath)
{
    const QString newName = committedPath(namePath);
    const bool nameSound = !entryExists(newName) || writtenByAGame(newName, false);
    if (nameSound && writtenByAGame(committedPath(scorePath), true)) {
        putPairInPlace(scorePath, namePath);
    } else {
        discardPlanted(committedPath(scorePath));
        discardPlanted(newName);
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

QString GetSystemDir()
{
    std::uint32_t size = systemDirBufferSize;
    QByteArray buffer(size, '\0');
    std::uint32_t n = GetWindowsDirectoryA(buffer.data(), size);
    // A directory that does not fit: the call answers with the size it needs, so ask again with
    // that size (twice more at most, should the directory change in between).
    for (int again = 0; n > size && again < 3; ++again) {
        size = n;
        buffer = QByteArray(size, '\0');
        n = GetWindowsDirectoryA(buffer.data(), size);
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
    putPairInPlace(scorePath, namePath);
    PendingFile::removeLeftovers(scorePath);
    PendingFile::removeLeftovers(namePath);
    lock.sync();
    return true;
}

} // namespace records
