// SPDX-License-Identifier: GPL-3.0-or-later
// The system's own file calls behind the files by number: files_posix.cpp on POSIX systems,
// files_win.cpp on Windows. Each reports a failure as -1 with a C error number in errno, so the
// messages are worded once, for every system.
#pragma once

#include "files.h"

#include <cerrno>

// Windows' C library has no such numbers; its file calls never give them.
#ifndef EDQUOT
#define EDQUOT 10001
#endif
#ifndef ESTALE
#define ESTALE 10002
#endif

namespace platform::native {

// Opens a regular file of this computer at a local path ("/" separators) and returns a C file
// descriptor; a directory fails with EISDIR, any other kind of file with ENXIO.
int openRegularFile(const QString &localPath, OpenMode mode);
// One read of up to size bytes; 0 is the end of the file.
qint64 readSome(int fd, char *data, qint64 size);
qint64 fileSize(int fd);
int closeFile(int fd);

} // namespace platform::native
