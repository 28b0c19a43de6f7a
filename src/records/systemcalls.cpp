// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemcalls.h"

namespace records {

namespace {

SystemCalls &replaced()
{
    // Process-wide: the record saver's steps run deep under the record functions, which take no
    // services of their own.
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
    return replaced().write ? replaced().write(fd, data, size) : systemWrite(fd, data, size);
}

int callRename(const char *from, const char *to)
{
    return replaced().rename ? replaced().rename(from, to) : systemRename(from, to);
}

int callFlock(int fd, int operation)
{
    return replaced().flock ? replaced().flock(fd, operation) : systemFlock(fd, operation);
}

} // namespace records
