// SPDX-License-Identifier: GPL-3.0-or-later
#include "directorylock.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "sharing.h"
#include "systemcalls.h"

#include <QFile>

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace records {

namespace {

// Errors of a file system that cannot lock at all (some network shares), as opposed to a
// directory that is not there or not ours to read.
bool lockingUnsupported(int errnum)
{
    return errnum == ENOLCK || errnum == EOPNOTSUPP || errnum == EINVAL || errnum == EBADF;
}

// This account may not write the directory: no lock, and no save either.
bool mayNotWrite(int errnum, const QString &dir)
{
    if (errnum == EROFS)
        return true;
    return (errnum == EACCES || errnum == EPERM) &&
           ::faccessat(AT_FDCWD, QFile::encodeName(dir).constData(), W_OK, AT_EACCESS) != 0;
}

// A lock file this account may not write in a directory it may write: someone took the write
// permission away, and games that skipped the lock would then overwrite each other. The message
// says whose file it is: the player's own can be mended by the player.
[[noreturn]] void lockFileNotWritable(const QString &path)
{
    struct stat st {};
    const bool own =
        ::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == ::geteuid();
    const QString why =
        own ? QStringLiteral("è un tuo file nascosto, ma non ha più il permesso di scrittura, così "
                             "il record non è più protetto quando due partite finiscono insieme. "
                             "Cancella questo file (la prossima partita lo rifà) oppure ridagli il "
                             "permesso di scrittura")
            : QStringLiteral("un altro utente gli ha tolto il permesso di scrittura, così il "
                             "record non è più protetto quando due partite finiscono insieme. "
                             "Un amministratore deve cancellare questo file nascosto (la "
                             "prossima partita lo rifà) oppure dare al gruppo il permesso di "
                             "scriverlo");
    throw platform::RuntimeError(platform::errPermissionDenied,
                                 platform::fileErrorMessage(path, why));
}

// Anything but a regular file at the lock file's name (a link, a pipe, a device) was planted
// there: it is removed, never opened.
void removeIfPlanted(const QByteArray &name)
{
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        ::unlink(name.constData());
}

} // namespace

void DirectoryLock::take(LockPurpose purpose)
{
    if (!open())
        return;
    try {
        if (!tryLock())
            waitInLine(purpose);
    } catch (...) {
        if (fd_ >= 0)
            ::close(fd_);
        throw;
    }
    if (held_)
        ++locksHeldHere(dir_);
}

namespace {

// A blocking request for the lock, made on the side while the game looks again and again: a game
// that saves over and over would otherwise take the lock back between any two looks. While the
// player is asked whether to wait more, the request gives back at once a lock it gets: a question
// left open must hold up no other game.
struct Queued {
    std::mutex mutex;
    std::condition_variable resumed;
    bool done = false;
    bool got = false;
    bool asking = false;    // a box waits for the player
    bool takenHere = false; // the game took the lock on the same descriptor itself
    bool abandoned = false; // the request's descriptor is then its own to close

    // On the request's thread: waits for the lock until it is the game's to keep.
    void request(int fd, const std::function<int(int, int)> &flock)
    {
        for (;;) {
            int result = 0;
            do {
                result = flock(fd, LOCK_EX);
            } while (result != 0 && errno == EINTR);
            std::unique_lock guard(mutex);
            if (result == 0 && asking && !takenHere && !abandoned) {
                flock(fd, LOCK_UN);
                resumed.wait(guard, [this] { return !asking || takenHere || abandoned; });
                if (!takenHere && !abandoned)
                    continue;
            }
            done = true;
            got = result == 0;
            if (abandoned)
                ::close(fd);
            return;
        }
    }

    void setAsking(bool now)
    {
        {
            const std::lock_guard guard(mutex);
            asking = now;
        }
        resumed.notify_all();
    }
};

} // namespace

void DirectoryLock::waitInLine(LockPurpose purpose)
{
    auto queued = std::make_shared<Queued>();
    std::thread request(
        [queued, fd = fd_, flock = services_.calls->flock] { queued->request(fd, flock); });
    try {
        waitForLock(
            path_, purpose, services_,
            [this, queued] {
                // Under the request's mutex, so that it never gives back a lock taken here.
                const std::lock_guard guard(queued->mutex);
                if (queued->got || tryLock())
                    return queued->takenHere = held_ = true;
                return false;
            },
            [queued](bool asking) { queued->setAsking(asking); });
    } catch (...) {
        {
            const std::lock_guard guard(queued->mutex);
            if (!queued->done) {
                queued->abandoned = true;
                fd_ = -1;
            }
        }
        queued->resumed.notify_all();
        if (fd_ < 0)
            request.detach();
        else
            request.join();
        throw;
    }
    queued->resumed.notify_all();
    // The lock is this descriptor's now, so the request on it is granted at once.
    request.join();
}

DirectoryLock::~DirectoryLock()
{
    if (held_)
        --locksHeldHere(dir_);
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

bool DirectoryLock::open()
{
    const QByteArray name = QFile::encodeName(path_);
    for (int attempt = 0; attempt < 2; ++attempt) {
        removeIfPlanted(name);
        // Only the owner may read it until it is shared with those who may write the directory.
        do {
            fd_ = ::open(name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                         0600);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) {
            const int e = errno;
            if (mayNotWrite(e, dir_))
                return false;
            if (e == EACCES || e == EPERM)
                lockFileNotWritable(path_);
            if (e == ELOOP || e == ENXIO)
                continue; // planted between the look and the open
            platform::throwFileError(path_, e);
        }
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1) {
            shareLikeDirectory(fd_, dir_);
            return true;
        }
        const bool linked = st.st_nlink > 1;
        ::close(fd_);
        fd_ = -1;
        if (linked) // another name of a file elsewhere: never widened nor locked
            platform::throwFileError(path_, EMLINK);
    }
    platform::throwFileError(path_, ENXIO);
}

bool DirectoryLock::tryLock()
{
    int result = 0;
    do {
        result = services_.calls->flock(fd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        held_ = true;
        return true;
    }
    const int e = errno;
    if (e == EAGAIN || e == EWOULDBLOCK || e == EACCES)
        return false;
    // Losing a beaten record because the disk cannot lock would be worse than saving unlocked.
    if (lockingUnsupported(e))
        return true;
    platform::throwFileError(path_, e);
}

void DirectoryLock::sync()
{
    // The renames are already visible; a file system that cannot flush a directory still has them.
    const int fd = ::open(QFile::encodeName(dir_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace records
