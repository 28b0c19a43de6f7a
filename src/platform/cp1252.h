// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1252, the one-byte code page of the record files.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Every byte reads as one character; the five bytes Windows-1252 leaves undefined read as the
// control characters of the same number, so a file read and written back is unchanged.
QString fromCp1252(const QByteArray &bytes);

// One byte per character; a character Windows-1252 cannot hold is written as "?".
QByteArray toCp1252(const QString &text);

} // namespace platform
