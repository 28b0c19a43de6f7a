#include "display.h"

namespace platform {

bool displayAvailable()
{
    return true;
}

} // namespace platform
