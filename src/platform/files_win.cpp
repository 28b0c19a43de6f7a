// SPDX-License-Identifier: GPL-3.0-or-later
#include "nativefile.h"
#include "windowserror.h"

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform::native {

namespace {

struct Opening {
    DWORD access;
    DWORD disposition;
    int crtFlags;
};

Opening openingFor(OpenMode mode)
{
    switch (mode) {
    case OpenMode::Append:
        return {FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS, _O_WRONLY};
    case OpenMode::Input:
        break;
    }
    return {GENERIC_READ, OPEN_EXISTING, _O_RDONLY};
}

} // namespace

int openRegularFile(const QString &localPath, OpenMode mode)
{
    const std::wstring name = widePath(localPath);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EISDIR;
        return -1;
    }
    const Opening opening = openingFor(mode);
    const int fd = openShared(localPath, opening.access, opening.disposition, FILE_ATTRIBUTE_NORMAL,
                              opening.crtFlags);
    // A device name (CON, NUL, COM1) opens a device, not a file.
    if (fd >= 0 && GetFileType(handleOf(fd)) != FILE_TYPE_DISK) {
        _close(fd);
        errno = ENXIO;
        return -1;
    }
    return fd;
}

qint64 readSome(int fd, char *data, qint64 size)
{
    DWORD got = 0;
    const auto chunk = DWORD(std::min<qint64>(size, 1 << 30));
    if (!ReadFile(handleOf(fd), data, chunk, &got, nullptr))
        return failWithLastError();
    return got;
}

qint64 fileSize(int fd)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(fd), &size))
        return failWithLastError();
    return size.QuadPart;
}

int closeFile(int fd)
{
    return _close(fd) == 0 ? 0 : -1;
}

} // namespace platform::native
