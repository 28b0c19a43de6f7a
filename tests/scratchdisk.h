// SPDX-License-Identifier: GPL-3.0-or-later
// Disks that fail for the fault tests: a tiny tmpfs that can be filled or made read-only (root, in
// a private mount namespace), or else a failure injected into the C library calls the record
// files use, for the files under one folder only.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace scratchdisk {

// Whether this process has mounts of its own, so a tmpfs it mounts is seen by nobody else and
// vanishes with it. Call before any thread starts.
inline bool &privateMounts()
{
    static bool on = false;
    return on;
}

inline void enterPrivateNamespace()
{
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0)
        return;
    privateMounts() = ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A tmpfs of a few pages at a temporary folder, unmounted when it goes.
class Tmpfs {
public:
    explicit Tmpfs(const char *options = "size=64k")
    {
        if (!privateMounts())
            return;
        mounted_ = ::mount("vorandi-test", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                           options) == 0;
    }
    ~Tmpfs()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs &) = delete;
    Tmpfs &operator=(const Tmpfs &) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }

    bool remountReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(dir_.path()).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

    // Writes a filler file until the disk refuses another byte.
    bool fill()
    {
        QFile filler(dir_.path() + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        // The last partial page is full too: one more byte must not fit anywhere.
        QFile probe(dir_.path() + QStringLiteral("/probe"));
        const bool full =
            !probe.open(QIODevice::WriteOnly) || probe.write("x", 1) != 1 || !probe.flush();
        probe.close();
        QFile::remove(
            probe.fileName()); // the failed write left an error that blocks probe.remove()
        return full;
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// The injected failure: calls on files under `prefix` fail with `error`.
struct Injection {
    std::atomic<bool> armed{false};
    QByteArray prefix;
    int error = 0;
    std::atomic<int> hits{0};
};

inline Injection &injection()
{
    static Injection i;
    return i;
}

inline bool underPrefix(const char *path)
{
    const Injection &i = injection();
    return i.armed && path && QByteArray(path).startsWith(i.prefix);
}

inline bool fdUnderPrefix(int fd)
{
    if (!injection().armed)
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return underPrefix(target);
}

// Arms the failure for the lifetime of the object.
class InjectedFailure {
public:
    InjectedFailure(const QString &dir, int error)
    {
        injection().prefix = QFile::encodeName(QDir(dir).canonicalPath()) + '/';
        injection().error = error;
        injection().hits = 0;
        injection().armed = true;
    }
    ~InjectedFailure() { injection().armed = false; }
    InjectedFailure(const InjectedFailure &) = delete;
    InjectedFailure &operator=(const InjectedFailure &) = delete;
    int hits() const { return injection().hits; }
};

} // namespace scratchdisk
