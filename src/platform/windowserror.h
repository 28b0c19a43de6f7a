// SPDX-License-Identifier: GPL-3.0-or-later
// Windows' error codes as the C error numbers the messages are worded for (Windows only).
#pragma once

#include <QString>

#include <string>

namespace platform {

// The Windows handle behind a C file descriptor (a HANDLE).
void *handleOf(int fd);

// The C error number for a Windows error code; a path not found tells a missing folder (ENOENT)
// from a file standing where a folder should be (ENOTDIR) by looking at localPath.
int errnoFromWindows(unsigned long error, const QString &localPath = QString());
// Sets errno from GetLastError() and returns -1, for the calls that report as the C library does.
int failWithLastError(const QString &localPath = QString());

// A local path ("/" or "\" separators) as the wide-character calls take it: an absolute one too
// long for the plain form in the \\?\ form ("\\?\C:\...", "\\?\UNC\server\...").
std::wstring widePath(const QString &localPath);

// CreateFileW with every kind of sharing (another game may read, lock or replace the file
// meanwhile), as a C file descriptor opened with crtFlags (_O_BINARY is added); -1 with errno
// on failure.
int openShared(const QString &localPath, unsigned long access, unsigned long disposition,
               unsigned long attributes, int crtFlags);

} // namespace platform
