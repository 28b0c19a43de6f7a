// SPDX-License-Identifier: GPL-3.0-or-later
// Record files as shared as their directory: when other accounts may write the directory (a
// school's machine-wide record), they may read and write the files too, whatever the umask.
#pragma once

#include <QString>

namespace records {

// The directory part of a local path ("/" for a file of the root, "." for a bare name).
QString directoryOf(const QString &localPath);

// Adds the group's or the others' read and write permission to a file this account owns when
// they may write its directory, and the others' read permission when the directory is so shared
// and the others may read it. Best effort: a file owned by another account is left alone.
void shareLikeDirectory(int fd, const QString &dir);
void shareLikeDirectory(const QString &localPath);

} // namespace records
