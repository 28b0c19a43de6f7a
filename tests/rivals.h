// SPDX-License-Identifier: GPL-3.0-or-later
// What other games and other accounts do to the record directory in the fault tests: hold the
// record's lock, lock the directory itself, and a watch that frees them when a game would hang.
#pragma once

#include "records/directorylock.h"

#include <QFile>
#include <QProcess>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace rivals {

// Another game of this machine holding the record's lock, as it does while it saves.
class GameHoldingTheLock {
public:
    explicit GameHoldingTheLock(const QString &dir)
    {
        fd_ = ::open(QFile::encodeName(dir + u'/' + records::lockFileName).constData(),
                     O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        held_ = fd_ >= 0 && ::fcntl(fd_, F_OFD_SETLK, &whole) == 0;
    }
    ~GameHoldingTheLock() { letGo(); }
    GameHoldingTheLock(const GameHoldingTheLock &) = delete;
    GameHoldingTheLock &operator=(const GameHoldingTheLock &) = delete;

    bool held() const { return held_; }
    // Safe from the watch's thread.
    void letGo()
    {
        const int fd = fd_.exchange(-1);
        if (fd >= 0)
            ::close(fd);
    }

private:
    std::atomic<int> fd_{-1};
    bool held_ = false;
};

// Frees whatever a case waits for once it has waited far longer than any sound wait, and notes
// that it hung: a case that hangs then still ends and is reported.
class HangWatch {
public:
    HangWatch(std::function<void()> rescue, std::chrono::seconds limit = std::chrono::seconds(20))
        : thread_([this, rescue = std::move(rescue), limit] {
              std::unique_lock lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  hung_ = true;
                  rescue();
              }
          })
    {}
    ~HangWatch() { stop(); }
    HangWatch(const HangWatch &) = delete;
    HangWatch &operator=(const HangWatch &) = delete;

    // The case is over; true when it had hung.
    bool stop()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        if (thread_.joinable())
            thread_.join();
        return hung_;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::atomic<bool> hung_{false};
    std::thread thread_;
};

// A second account of this machine for the cases that need one, made when the tests run as root
// and removed after; ok() is false with the reason elsewhere.
class Account {
public:
    explicit Account(const char *name) : name_(name)
    {
        if (::geteuid() != 0) {
            why_ = QStringLiteral("making a second account needs root");
            return;
        }
        made_ = !::getpwnam(name) &&
                QProcess::execute(QStringLiteral("useradd"),
                                  {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                                   QStringLiteral("--user-group"), QString::fromLatin1(name)}) == 0;
        const passwd *account = ::getpwnam(name);
        if (!account) {
            why_ = QStringLiteral("useradd could not make an account");
            return;
        }
        uid_ = account->pw_uid;
        gid_ = account->pw_gid;
    }
    ~Account()
    {
        if (made_)
            QProcess::execute(QStringLiteral("userdel"), {QString::fromLatin1(name_)});
    }
    Account(const Account &) = delete;
    Account &operator=(const Account &) = delete;

    bool ok() const { return why_.isEmpty(); }
    QString why() const { return why_; }
    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }

    // In a child process only: become this account, with no other group.
    bool become() const
    {
        return ::setgroups(0, nullptr) == 0 && ::setgid(gid_) == 0 && ::setuid(uid_) == 0;
    }

private:
    const char *name_;
    QString why_;
    bool made_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

} // namespace rivals
