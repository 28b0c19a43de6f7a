// SPDX-License-Identifier: GPL-3.0-or-later
// In a browser the record lives in a folder of the page's file system, which the record store
// (web/recordstore.js) fills from the browser's storage before the program starts and writes back
// at every save.
#include "platform/files.h"
#include "recordfiles.h"

#include <cerrno>
#include <sys/stat.h>

namespace records {

QString recordDirectory()
{
    const QString dir = QStringLiteral("/vorandi");
    if (::mkdir("/vorandi", 0777) != 0 && errno != EEXIST)
        platform::throwFileError(dir, errno);
    return dir;
}

} // namespace records
