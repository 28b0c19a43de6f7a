#include "program.h"
#include "dialogs.h"
#include "files.h"
#include "runtime.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void End(int code)
{
    CloseAll();
    std::fflush(nullptr);
    std::exit(code);
}

void reportAndEnd(const RuntimeError &error)
{
    CloseAll();
    MsgBox(error.message(), vbCritical);
    End(1);
}

void runHandler(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const RuntimeError &error) {
        reportAndEnd(error);
    }
}

} // namespace platform
