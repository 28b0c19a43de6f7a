// SPDX-License-Identifier: GPL-3.0-or-later
// What the record tests ask of the system itself, on POSIX systems and on Windows alike.
#pragma once

#include <QFile>
#include <QString>

#ifdef _WIN32
#include <io.h>
#include <shlobj.h>
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace systemtest {

// The name of the file an open descriptor writes (its last path component).
inline QString openFileName(int fd)
{
#ifdef _WIN32
    wchar_t path[1024] = {};
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    const DWORD n = GetFinalPathNameByHandleW(handle, path, 1024, FILE_NAME_NORMALIZED);
    const QString name = QString::fromWCharArray(path, int(n < 1024 ? n : 0));
    return name.mid(name.lastIndexOf(u'\\') + 1);
#else
    const QString link = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
    return link.mid(link.lastIndexOf(u'/') + 1);
#endif
}

// True when permissions stop nothing: root, or a Windows administrator.
inline bool permissionsStopNothing()
{
#ifdef _WIN32
    return IsUserAnAdmin();
#else
    return ::geteuid() == 0;
#endif
}

// Limits the size of any file this process writes; false where the system has no such limit.
inline bool limitFileSize(long bytes)
{
#ifdef _WIN32
    (void)bytes;
    return false;
#else
    // Without this the kernel ends the process instead of failing the write.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
#endif
}

// Makes a named pipe at path; false where the system has none.
inline bool makeFifo(const QString &path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    return ::mkfifo(QFile::encodeName(path), 0666) == 0;
#endif
}

} // namespace systemtest
