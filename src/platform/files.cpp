#include "files.h"
#include "cp1252.h"
#include "runtime.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

struct OpenFile {
    int fd = -1;
    OpenMode mode = OpenMode::Input;
    QString path;
};

std::map<int, OpenFile> &table()
{
    static std::map<int, OpenFile> files;
    return files;
}

constexpr int maxFiles = 255;

[[noreturn]] void fail(const QString &path, int errnum)
{
    throw RuntimeError(fileErrorNumber(errnum), fileErrorMessage(path, errnum));
}

OpenFile &lookup(int number)
{
    auto it = table().find(number);
    if (it == table().end())
        throw RuntimeError(errBadFileNumber,
                           QStringLiteral("Numero di file non valido: %1").arg(number));
    return it->second;
}

void writeAll(const OpenFile &file, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(file.fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(file.path, n < 0 ? errno : ENOSPC);
        data += n;
        left -= n;
    }
}

} // namespace

QString localPath(const QString &path)
{
    QString out;
    out.reserve(path.size());
    for (const QChar c : path) {
        const bool separator = c == u'\\' || c == u'/';
        if (separator && out.endsWith(u'/'))
            continue;
        out += separator ? QChar(u'/') : c;
    }
    return out;
}

int fileErrorNumber(int errnum)
{
    switch (errnum) {
    case ENOENT:
        return errFileNotFound;
    case ENOTDIR:
        return errPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return errPermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return errDiskFull;
    case EIO:
        return errDeviceIO;
    case EMFILE:
    case ENFILE:
        return errTooManyFiles;
    default:
        return errPathFileAccess;
    }
}

QString fileErrorMessage(const QString &path, int errnum)
{
    QString reason;
    switch (errnum) {
    case ENOENT:
        reason = QStringLiteral("il file o la cartella non esiste");
        break;
    case ENOTDIR:
        reason = QStringLiteral("una parte del percorso non è una cartella");
        break;
    case EISDIR:
        reason = QStringLiteral("al suo posto c'è una cartella");
        break;
    case EACCES:
    case EPERM:
        reason = QStringLiteral("non si hanno i permessi per usarlo");
        break;
    case EROFS:
        reason = QStringLiteral("il disco è di sola lettura");
        break;
    case ENOSPC:
    case EDQUOT:
        reason = QStringLiteral("il disco è pieno");
        break;
    case ELOOP:
        reason = QStringLiteral("il collegamento rimanda a sé stesso");
        break;
    case ENAMETOOLONG:
        reason = QStringLiteral("il percorso è troppo lungo");
        break;
    case EIO:
        reason = QStringLiteral("errore di lettura o scrittura del disco");
        break;
    default:
        reason = QString::fromLocal8Bit(std::strerror(errnum));
    }
    return QStringLiteral("Errore sul file %1: %2.").arg(QDir::toNativeSeparators(path), reason);
}

int FreeFile()
{
    for (int n = 1; n <= maxFiles; ++n) {
        if (!table().count(n))
            return n;
    }
    throw RuntimeError(errTooManyFiles, QStringLiteral("Troppi file aperti"));
}

void Open(const QString &path, OpenMode mode, int number)
{
    if (number < 1 || number > maxFiles)
        throw RuntimeError(errBadFileNumber,
                           QStringLiteral("Numero di file non valido: %1").arg(number));
    if (table().count(number))
        throw RuntimeError(errFileAlreadyOpen, QStringLiteral("File già aperto: %1").arg(number));
    const QString local = localPath(path);
    int flags = O_CLOEXEC;
    switch (mode) {
    case OpenMode::Input:
        flags |= O_RDONLY;
        break;
    case OpenMode::Output:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case OpenMode::Append:
        flags |= O_WRONLY | O_CREAT | O_APPEND;
        break;
    }
    const QByteArray name = QFile::encodeName(local);
    int fd = -1;
    do {
        fd = ::open(name.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail(local, errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail(local, EISDIR);
    }
    table()[number] = OpenFile{fd, mode, local};
}

void Print(int number, const QString &text)
{
    const OpenFile &file = lookup(number);
    if (file.mode == OpenMode::Input)
        throw RuntimeError(errBadFileMode, QStringLiteral("Modalità di apertura non valida"));
    writeAll(file, toCp1252(text) + "\r\n");
}

qint64 LOF(int number)
{
    const OpenFile &file = lookup(number);
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        fail(file.path, errno);
    return st.st_size;
}

QString Input(qint64 count, int number)
{
    const OpenFile &file = lookup(number);
    if (file.mode != OpenMode::Input)
        throw RuntimeError(errBadFileMode, QStringLiteral("Modalità di apertura non valida"));
    QByteArray bytes;
    bytes.resize(count);
    qint64 got = 0;
    while (got < count) {
        const ssize_t n = ::read(file.fd, bytes.data() + got, size_t(count - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(file.path, errno);
        if (n == 0)
            throw RuntimeError(errInputPastEnd,
                               QStringLiteral("Lettura oltre la fine del file %1.")
                                   .arg(QDir::toNativeSeparators(file.path)));
        got += n;
    }
    return fromCp1252(bytes);
}

void Close(int number)
{
    auto it = table().find(number);
    if (it == table().end())
        return;
    const OpenFile file = it->second;
    table().erase(it);
    if (::close(file.fd) != 0 && errno != EINTR)
        fail(file.path, errno);
}

void CloseAll()
{
    for (auto &[number, file] : table())
        ::close(file.fd);
    table().clear();
}

int openFileCount()
{
    return int(table().size());
}

} // namespace platform
