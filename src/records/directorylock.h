// SPDX-License-Identifier: GPL-3.0-or-later
// The lock that keeps two games from reading or saving the record at the same moment: a write
// lock on a lock file inside the record directory. An account that may not write the directory
// cannot open that file for writing, so it cannot take the lock and hold every game up.
#pragma once

#include "lockwait.h"
#include "recordservices.h"

#include <QString>

namespace records {

// On Windows, which locks files only, the file inside the directory whose lock stands for it.
inline const QString lockFileName = QStringLiteral("vora.lock");

class DirectoryLock {
public:
    // Takes the lock, waiting with a message while another game holds it (see lockwait.h). A
    // lock file that cannot be made or used is a RuntimeError naming it, and so is one this
    // account may not write in a directory it may write: another account could otherwise switch
    // the lock off for everyone. Taken again by the game that holds it, or by a way out while this
    // game waits for it, it holds it once more. On a file system that keeps no locks, or in a
    // directory this account may not write (it can read the record there but never save one),
    // the game goes on without the lock.
    DirectoryLock(const QString &dir, LockPurpose purpose, const RecordServices &services)
        : dir_(dir), path_(dir + u'/' + lockFileName), services_(services)
    {
        if (!joinOwnLock())
            take(purpose);
    }
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock &) = delete;
    DirectoryLock &operator=(const DirectoryLock &) = delete;

    // Pushes the directory's new entries to the disk.
    void sync();

    // What the lock was taken with, for the save made under it.
    const RecordServices &services() const { return services_; }

private:
    // This game holds the lock already (it reads the pair inside its start), or waits for it and
    // is being ended from outside: held once more.
    bool joinOwnLock()
    {
        if (locksHeldHere(dir_) == 0 && !joinWaitInProgress(path_))
            return false;
        ++locksHeldHere(dir_);
        nested_ = held_ = true;
        return true;
    }
    // Takes the lock for the first time in this game, as this system can.
    void take(LockPurpose purpose);
    bool open();
    bool tryLock();
    void waitInLine(LockPurpose purpose);

    QString dir_;
    QString path_;
    RecordServices services_;
    int fd_ = -1;
    bool held_ = false;
    bool nested_ = false;
};

} // namespace records
