// SPDX-License-Identifier: GPL-3.0-or-later
// The system calls a record save makes, replaceable so that tests can fail one at a chosen step.
// Failures are -1 with a C error number in errno on every system.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/file.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>

// flock's operations; Windows' C library lacks them, and its lock call (LockFileEx) takes these.
#ifndef LOCK_EX
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8
#endif

namespace records {

// The real calls (systemcalls_posix.cpp, systemcalls_win.cpp).
ssize_t systemWrite(int fd, const void *data, std::size_t size);
int systemRename(const char *from, const char *to);
int systemFlock(int fd, int operation);

// The calls a record save makes through its caller's services; a test replaces one to fail it at a
// chosen step, and falls back on the real one otherwise.
struct SystemCalls {
    std::function<ssize_t(int fd, const void *data, std::size_t size)> write = systemWrite;
    // Replaces `to` in one step when it exists.
    std::function<int(const char *from, const char *to)> rename = systemRename;
    std::function<int(int fd, int operation)> flock = systemFlock;
};

// The system's own calls: one set serves every caller.
const SystemCalls &realSystemCalls();

// Creates a file for writing that must not exist yet; readable and writable as the system's
// defaults for a new file in that directory say (the umask, the folder's inherited rights).
int systemCreateNew(const QByteArray &name);
// Pushes the file's content to the disk (fsync, FlushFileBuffers).
int systemFlush(int fd);
int systemClose(int fd);
int systemRemove(const QByteArray &name);
// A local path as the calls take it: the file system's encoding, or UTF-8 on Windows, whose
// wide-character calls then get every character of it.
QByteArray systemName(const QString &localPath);

} // namespace records
