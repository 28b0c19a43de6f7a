// SPDX-License-Identifier: GPL-3.0-or-later
#include "pendingfile.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "sharing.h"
#include "systemcalls.h"

#include <QDir>
#include <QRandomGenerator>

#include <cerrno>

namespace records {

namespace {

constexpr int randomDigits = 8;

// Hidden, and named after the file it will replace, so a leftover is easy to recognise.
QString temporaryPrefix(const QString &path)
{
    return QStringLiteral(".") + path.mid(path.lastIndexOf(u'/') + 1) + u'-';
}

} // namespace

PendingFile::PendingFile(const QString &path, const QByteArray &content, const SystemCalls &calls)
    : path_(path), calls_(calls)
{
    const int fd = createTemporary();
    try {
        writeAll(fd, content);
        shareLikeDirectory(fd, directoryOf(path_));
        if (systemFlush(fd) != 0)
            platform::throwFileError(path_, errno);
    } catch (...) {
        systemClose(fd);
        discard();
        throw;
    }
    if (systemClose(fd) != 0) {
        const int e = errno;
        discard();
        platform::throwFileError(path_, e);
    }
}

PendingFile::~PendingFile()
{
    discard();
}

int PendingFile::createTemporary()
{
    const QString stem = directoryOf(path_) + u'/' + temporaryPrefix(path_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString suffix = QString::number(QRandomGenerator::global()->generate(), 16)
                                   .rightJustified(randomDigits, u'0');
        const QByteArray name = systemName(stem + suffix);
        const int fd = systemCreateNew(name);
        if (fd >= 0) {
            temp_ = name;
            return fd;
        }
        if (errno != EEXIST && errno != EINTR)
            platform::throwFileError(path_, errno);
    }
    platform::throwFileError(path_, EEXIST);
}

void PendingFile::writeAll(int fd, const QByteArray &content)
{
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n =
            calls_.write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            platform::throwFileError(path_, n < 0 ? errno : ENOSPC);
        done += n;
    }
}

void PendingFile::commitAs(const QString &path)
{
    // The message names the name that refused the file: a folder planted at "vora.txt.new" is
    // what is wrong then, not the record file.
    if (calls_.rename(temp_.constData(), systemName(path).constData()) != 0)
        platform::throwFileError(path, errno);
    temp_.clear();
}

void PendingFile::discard()
{
    if (temp_.isEmpty())
        return;
    systemRemove(temp_);
    temp_.clear();
}

void PendingFile::removeLeftovers(const QString &path)
{
    QDir dir(directoryOf(path));
    const QString pattern = temporaryPrefix(path) + QString(randomDigits, u'?');
    const auto filter = QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive;
    for (const QString &name : dir.entryList({pattern}, filter))
        dir.remove(name);
}

} // namespace records
