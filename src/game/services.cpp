// SPDX-License-Identifier: GPL-3.0-or-later
#include "services.h"
#include "widgets/dialogs.h"
#include "widgets/waitbox.h"

namespace game {

bool complete(const Services &services)
{
    return services.boxes && services.wait && services.systemCalls && services.random &&
           services.recordDirectory && services.end && services.today;
}

Services realServices()
{
    Services real;
    real.boxes = &platform::qtDialogs();
    real.wait = &platform::qtWait();
    real.systemCalls = &records::realSystemCalls();
    real.random = std::make_shared<platform::Random>();
    real.recordDirectory = records::GetWindowsDirectoryA;
    real.end = [](int code) { platform::End(code); };
    real.today = platform::Date;
    return real;
}

} // namespace game
