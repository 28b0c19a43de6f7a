// SPDX-License-Identifier: GPL-3.0-or-later
// Files by number: FreeFile, Open, LOF, Input, Close. One byte per character (Windows-1252);
// "\" separates directories on every system and a doubled separator reads as one.
#pragma once

#include <QString>

namespace platform {

enum class OpenMode {
    Input,  // the file must exist
    Append, // created empty if missing; what it holds is kept
};

// A number that no open file uses.
int FreeFile();
void Open(const QString &path, OpenMode mode, int number);
// The open file's length in bytes.
qint64 LOF(int number);
// Reads count characters; empty text for the count 0.
QString Input(qint64 count, int number);
void Close(int number);
// Closes every open file (the program's end does).
void CloseAll();

// The path as the file system takes it: "\" and "/" both separate, runs of them count as one.
QString localPath(const QString &path);

// localPath of a path that names a file of this computer; a network path (two backslashes first,
// as an empty directory text leaves it) or one holding a code-0 character is refused with a
// RuntimeError naming it.
QString resolvePath(const QString &path);

// An Italian message for a failed file operation on path, from the system's error number.
QString fileErrorMessage(const QString &path, int errnum);
// The same message with the reason given in words.
QString fileErrorMessage(const QString &path, const QString &reason);
// The run-time error number for a system error number.
int fileErrorNumber(int errnum);
// Throws the run-time error for a failed operation on path, with its Italian message.
[[noreturn]] void throwFileError(const QString &path, int errnum);
// An Italian message for a folder that could not be made, from the system's error number.
QString folderErrorMessage(const QString &path, int errnum);
// Throws the run-time error for a folder that could not be made, with its Italian message.
[[noreturn]] void throwFolderError(const QString &path, int errnum);

} // namespace platform
