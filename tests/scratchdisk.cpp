// SPDX-License-Identifier: GPL-3.0-or-later
// The injected failures: these definitions take the place of the C library's for the whole test
// program and fail only while a scratchdisk::InjectedFailure is armed, only under its folder.
#include "scratchdisk.h"

using namespace scratchdisk;

namespace {

template <class F> F real(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

int refuse()
{
    ++injection().hits;
    errno = injection().error;
    return -1;
}

bool writes(int flags)
{
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0;
}

int openWith(const char *path, int flags, va_list args)
{
    using Open = int (*)(const char *, int, ...);
    static const Open next = real<Open>("open");
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE))
        mode = mode_t(va_arg(args, int));
    if (writes(flags) && underPrefix(path) && injection().error == EROFS)
        return refuse();
    return next(path, flags, mode);
}

} // namespace

extern "C" {

ssize_t write(int fd, const void *buffer, size_t count)
{
    using Write = ssize_t (*)(int, const void *, size_t);
    static const Write next = real<Write>("write");
    if (injection().armed && injection().error != EROFS && fdUnderPrefix(fd))
        return refuse();
    return next(fd, buffer, count);
}

int mkstemp(char *pattern)
{
    using Mkstemp = int (*)(char *);
    static const Mkstemp next = real<Mkstemp>("mkstemp");
    if (underPrefix(pattern) && injection().error == EROFS)
        return refuse();
    return next(pattern);
}

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = openWith(path, flags, args);
    va_end(args);
    return fd;
}

// Where files are 64-bit anyway open64 is open under its other name, and so is its stand-in here.
static_assert(sizeof(off_t) == 8, "open64 is open only with 64-bit file offsets");
int open64(const char *path, int flags, ...) __attribute__((alias("open")));

} // extern "C"
