// SPDX-License-Identifier: GPL-3.0-or-later
#include "files.h"
#include "cp1252.h"
#include "nativefile.h"
#include "program.h"
#include "runtime.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <map>

namespace platform {

namespace {

struct OpenFile {
    int fd = -1;
    OpenMode mode = OpenMode::Input;
    QString path;
};

std::map<int, OpenFile> &table()
{
    // File numbers belong to the process, not to a window: FreeFile sees every number in use
    // and End closes every file.
    static std::map<int, OpenFile> files;
    return files;
}

constexpr int maxFiles = 255;

// The longest path a message on screen gives whole.
constexpr qsizetype longestShownPath = 160;

[[noreturn]] void fail(const QString &path, int errnum)
{
    throwFileError(path, errnum);
}

OpenFile &lookup(int number)
{
    auto it = table().find(number);
    if (it == table().end())
        throw RuntimeError(errBadFileNumber,
                           QStringLiteral("Numero di file non valido: %1").arg(number));
    return it->second;
}

// What each system error a file operation meets means to the program: its run-time error number
// and the reason its message gives.
struct SystemError {
    int errnum;
    int runtimeError;
    QStringView reason;
};

constexpr SystemError systemErrors[] = {
    {ENOENT, errFileNotFound, u"il file o la cartella non esiste"},
    {ENOTDIR, errPathNotFound, u"una parte del percorso non è una cartella"},
    {EISDIR, errPathFileAccess, u"al suo posto c'è una cartella"},
    {EACCES, errPermissionDenied, u"non si hanno i permessi per usarlo"},
    {EPERM, errPermissionDenied, u"non si hanno i permessi per usarlo"},
    {EROFS, errPermissionDenied, u"il disco è di sola lettura"},
    {ENOSPC, errDiskFull, u"il disco è pieno"},
    {EDQUOT, errDiskFull, u"il disco è pieno"},
    {EFBIG, errPathFileAccess, u"il file supera la dimensione consentita"},
    // A link at the file's name: files are opened without following links.
    {ELOOP, errPathFileAccess, u"è un collegamento simbolico, che non viene seguito"},
    {ENAMETOOLONG, errPathFileAccess, u"il percorso è troppo lungo"},
    // A second name of a file that may be another account's: never written, widened or shown.
    {EMLINK, errPathFileAccess, u"ha più di un nome (un collegamento fisso), e non viene usato"},
    {EIO, errDeviceIO, u"errore di lettura o scrittura del disco"},
    {EMFILE, errTooManyFiles, u"ci sono troppi file aperti"},
    {ENFILE, errTooManyFiles, u"ci sono troppi file aperti"},
    {EBUSY, errPathFileAccess, u"il file è in uso"},
    {ETXTBSY, errPathFileAccess, u"il file è in uso"},
    {ENXIO, errPathFileAccess, u"non è un file normale"},
    {ENODEV, errPathFileAccess, u"non è un file normale"},
    {ESTALE, errPathFileAccess, u"la cartella di rete non è più raggiungibile"},
};

const SystemError *systemError(int errnum)
{
    for (const SystemError &known : systemErrors) {
        if (known.errnum == errnum)
            return &known;
    }
    return nullptr;
}

QString reasonFor(int errnum)
{
    if (const SystemError *known = systemError(errnum))
        return known->reason.toString();
    return QStringLiteral("errore di sistema %1 (%2)")
        .arg(errnum)
        .arg(QString::fromLocal8Bit(std::strerror(errnum)));
}

QString shownPath(const QString &path)
{
    QString shown = QDir::toNativeSeparators(path);
    shown.remove(QChar(0));
    return shown;
}

// A box cannot show a path of thousands of characters: it shows both ends of it, and the whole
// message goes to the standard error stream, where it can be read in full.
QString withPathShortened(const QString &format, const QString &path, const QString &reason)
{
    const QString shown = shownPath(path);
    const QString whole = format.arg(shown, reason);
    if (shown.size() <= longestShownPath)
        return whole;
    tellStandardError(whole);
    const qsizetype end = longestShownPath / 2;
    return format.arg(shown.left(end) + QStringLiteral("…") + shown.right(end), reason);
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
    const SystemError *known = systemError(errnum);
    return known ? known->runtimeError : errPathFileAccess;
}

QString resolvePath(const QString &path)
{
    if (path.contains(QChar(0)))
        throw RuntimeError(errPathNotFound,
                           fileErrorMessage(path, QStringLiteral("il percorso contiene caratteri "
                                                                 "non validi")));
    // Windows reads two backslashes first as a network share; on this system they would fold
    // into the root directory, a place no record belongs.
    if (path.startsWith(QStringLiteral("\\\\")))
        throw RuntimeError(errPathNotFound,
                           fileErrorMessage(path, QStringLiteral("il percorso non indica una "
                                                                 "cartella di questo computer")));
    return localPath(path);
}

QString fileErrorMessage(const QString &path, int errnum)
{
    return fileErrorMessage(path, reasonFor(errnum));
}

QString fileErrorMessage(const QString &path, const QString &reason)
{
    return withPathShortened(QStringLiteral("Errore sul file %1: %2."), path, reason);
}

QString folderErrorMessage(const QString &path, int errnum)
{
    // A file at the folder's name is the usual way a folder cannot be made.
    const QString reason =
        errnum == ENOTDIR ? QStringLiteral("al suo posto c'è un file") : reasonFor(errnum);
    return withPathShortened(QStringLiteral("Errore sulla cartella %1: non si può creare, %2."),
                             path, reason);
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
    const QString local = resolvePath(path);
    const int fd = native::openRegularFile(local, mode);
    if (fd < 0)
        fail(local, errno);
    table()[number] = OpenFile{fd, mode, local};
}

qint64 LOF(int number)
{
    const OpenFile &file = lookup(number);
    const qint64 size = native::fileSize(file.fd);
    if (size < 0)
        fail(file.path, errno);
    return size;
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
        const qint64 n = native::readSome(file.fd, bytes.data() + got, count - got);
        if (n < 0)
            fail(file.path, errno);
        if (n == 0)
            throw RuntimeError(errInputPastEnd, QStringLiteral("Lettura oltre la fine del file %1.")
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
    if (native::closeFile(file.fd) != 0)
        fail(file.path, errno);
}

void CloseAll()
{
    for (auto &[number, file] : table())
        native::closeFile(file.fd);
    table().clear();
}

void throwFileError(const QString &path, int errnum)
{
    throw RuntimeError(fileErrorNumber(errnum), fileErrorMessage(path, errnum));
}

void throwFolderError(const QString &path, int errnum)
{
    throw RuntimeError(fileErrorNumber(errnum), folderErrorMessage(path, errnum));
}

} // namespace platform
