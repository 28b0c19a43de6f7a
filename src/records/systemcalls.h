// SPDX-License-Identifier: GPL-3.0-or-later
// The system calls a record save makes, replaceable so that tests can fail one at a chosen step.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>

namespace records {

struct SystemCalls {
    std::function<ssize_t(int fd, const void *data, std::size_t size)> write;
    std::function<int(const char *from, const char *to)> rename;
    std::function<int(int fd, int operation)> flock;
};

// An empty member stands for the real call; setSystemCalls({}) restores them all.
void setSystemCalls(SystemCalls calls);

ssize_t callWrite(int fd, const void *data, std::size_t size);
int callRename(const char *from, const char *to);
int callFlock(int fd, int operation);

} // namespace records
