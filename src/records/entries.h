// SPDX-License-Identifier: GPL-3.0-or-later
// What lies at a name in the record directory, looked at without following a link: the record
// files' names are never followed to a file elsewhere, and only what a game could have written is
// ever put in place of a record file. entries_posix.cpp and entries_win.cpp.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace records {

enum class EntryKind {
    None,      // nothing of that name
    Regular,   // a plain file
    Directory, // a folder
    Other,     // a link, a pipe, a device: never opened
};

EntryKind entryKind(const QString &localPath);

// The whole content of a file only a game can have written: a regular file with one link, of this
// account or of the directory's group, of at most limit bytes; checked and read through one
// descriptor opened without following a link, so what is checked is what is read.
std::optional<QByteArray> gameWrittenFile(const QString &localPath, qint64 limit);

// The whole content of a regular file with one link, whoever owns it, of at most limit bytes, read
// without following a link; nothing when it is anything else or cannot be read.
std::optional<QByteArray> regularFileContent(const QString &localPath, qint64 limit);

// Removes the entry itself, never what a link points at; a folder only when it is empty.
void removeEntry(const QString &localPath);

} // namespace records
