// SPDX-License-Identifier: GPL-3.0-or-later
// An exclusive lock on the record directory, so that two games never interleave their saves.
#pragma once

#include <QString>

namespace records {

// On Windows, which locks files only, the file inside the directory whose lock stands for it.
inline const QString lockFileName = QStringLiteral("vora.lock");

class DirectoryLock {
public:
    // Waits for the lock; a directory that cannot be opened is a RuntimeError naming it.
    explicit DirectoryLock(const QString &dir);
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock &) = delete;
    DirectoryLock &operator=(const DirectoryLock &) = delete;

    // False on a file system that keeps no locks: the save goes on without one.
    bool held() const { return held_; }
    // Pushes the directory's new entries to the disk.
    void sync();

private:
    int fd_ = -1;
    bool held_ = false;
};

} // namespace records
