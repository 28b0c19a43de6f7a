// SPDX-License-Identifier: GPL-3.0-or-later
// A record file's new content, written whole to a temporary file beside it and flushed to the
// disk before it may replace the file; until commit() the file itself is untouched.
#pragma once

#include "systemcalls.h"

#include <QByteArray>
#include <QString>

namespace records {

class PendingFile {
public:
    // path is a local path; a failure is a RuntimeError naming it, and leaves nothing behind. The
    // calls are kept for the commit.
    PendingFile(const QString &path, const QByteArray &content, const SystemCalls &calls);
    // Removes the temporary file unless it was committed.
    ~PendingFile();
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    // Renames the temporary file over the file in one step.
    void commit() { commitAs(path_); }
    // Renames the temporary file to another name, in one step.
    void commitAs(const QString &path);

    // Removes temporary files of path left by a save that never finished (a crash, a power
    // cut). Only safe while the directory lock is held.
    static void removeLeftovers(const QString &path);

private:
    int createTemporary();
    void writeAll(int fd, const QByteArray &content);
    void discard();

    QString path_;
    const SystemCalls &calls_;
    QByteArray temp_;
};

} // namespace records
