// SPDX-License-Identifier: GPL-3.0-or-later
// What other games and other accounts do to the record directory in the fault tests: hold the
// record's lock, act as another account from a process of their own, and a watch that frees them
// when a game would hang.
#pragma once

#include "records/directorylock.h"

#include <QFile>
#include <QProcess>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/wait.h>
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

// A child process that becomes another account, does what the case asks and reports it through a
// pipe, then holds what it opened until the case lets it go (or the watch kills it).
class AsAnotherAccount {
public:
    AsAnotherAccount(const Account &account, const std::function<int()> &act)
    {
        if (::pipe(toChild_) != 0 || ::pipe(fromChild_) != 0 || (pid_ = ::fork()) < 0)
            return;
        if (pid_ == 0) {
            ::close(toChild_[1]);
            ::close(fromChild_[0]);
            const int report = account.become() ? act() : -1;
            (void)!::write(fromChild_[1], &report, sizeof report);
            char byte;
            (void)!::read(toChild_[0], &byte, 1);
            ::_exit(0);
        }
        ::close(toChild_[0]);
        ::close(fromChild_[1]);
        if (::read(fromChild_[0], &report_, sizeof report_) != ssize_t(sizeof report_))
            report_ = -1;
    }
    ~AsAnotherAccount() { letGo(); }
    AsAnotherAccount(const AsAnotherAccount &) = delete;
    AsAnotherAccount &operator=(const AsAnotherAccount &) = delete;

    // What the child did; -1 when it could not become the account.
    int report() const { return report_; }
    // Safe from the watch's thread.
    void kill() const { ::kill(pid_, SIGKILL); }
    void letGo()
    {
        if (pid_ <= 0)
            return;
        ::close(toChild_[1]);
        ::close(fromChild_[0]);
        ::waitpid(std::exchange(pid_, -1), nullptr, 0);
    }

private:
    int toChild_[2] = {-1, -1};
    int fromChild_[2] = {-1, -1};
    pid_t pid_ = -1;
    int report_ = -1;
};

} // namespace rivals
