#include "systemcalls.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace records {

namespace {

SystemCalls &replaced()
{
    static SystemCalls calls;
    return calls;
}

} // namespace

void setSystemCalls(SystemCalls calls)
{
    replaced() = std::move(calls);
}

ssize_t callWrite(int fd, const void *data, std::size_t size)
{
    return replaced().write ? replaced().write(fd, data, size) : ::write(fd, data, size);
}

int callRename(const char *from, const char *to)
{
    return replaced().rename ? replaced().rename(from, to) : std::rename(from, to);
}

int callLock(int fd)
{
    if (replaced().lock)
        return replaced().lock(fd);
    // A lock of the open file, not of the process, and one that needs the file open for writing.
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &whole);
}

} // namespace records
