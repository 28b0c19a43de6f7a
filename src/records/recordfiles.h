// SPDX-License-Identifier: GPL-3.0-or-later
// The record files: vora.txt holds the record score, nvora.txt the record holder's name, both
// one line in the Windows directory (on this system, the record directory).
#pragma once

#include "recordservices.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace records {

inline const QString scoreFileName = QStringLiteral("vora.txt");
inline const QString nameFileName = QStringLiteral("nvora.txt");

// A record file longer than this is no record file; reading it is refused with a clear message
// rather than filling the memory and the window.
constexpr qint64 maxRecordFileSize = qint64(64) << 20;

// kernel32's contract: on success the directory text and a zero byte in the buffer, the rest of
// the buffer untouched, and the text's length; a buffer too small is left untouched and the
// result is the size needed, zero byte included; failure gives 0. The text is in the file
// system's own encoding.
std::uint32_t GetWindowsDirectoryA(char *buffer, std::uint32_t size);

using WindowsDirectoryCall = std::function<std::uint32_t(char *buffer, std::uint32_t size)>;

// The directory the program keeps its record in, fixed when it is built: VORANDI_RECORD_DIR, or
// else $XDG_DATA_HOME/vorandi (~/.local/share/vorandi); created when missing, and a RuntimeError
// naming the part that cannot be made and why. Empty when there is no data directory at all.
QString recordDirectory();

// The Windows directory followed by one backslash; a directory longer than the first buffer of 128
// characters is asked for again with the size the call reports.
QString GetSystemDir(const WindowsDirectoryCall &call = GetWindowsDirectoryA);

// A record file's path: the game names its files the Windows way, with a backslash, on every
// system; the files layer reads it as a directory separator.
QString recordPath(const QString &windowsDir, const QString &fileName);

// The whole content of an existing file, exactly as stored; a file that begins with a UTF-8 or
// UTF-16 byte-order mark (an editor's) as the text it holds.
QString readWholeFile(const QString &path);

class DirectoryLock;

// Held by the start of a game while it reads the pair: the two files are then read as one save
// left them, never one game's score with another game's name.
class PairReading {
public:
    PairReading(const QString &windowsDir, const RecordServices &services);
    ~PairReading();
    PairReading(const PairReading &) = delete;
    PairReading &operator=(const PairReading &) = delete;

private:
    std::unique_ptr<DirectoryLock> lock_;
};

// Creates both files empty where missing, leaving existing ones unchanged.
void createRecordFiles(const QString &windowsDir, const RecordServices &services);

// A player's name as the game shows and saves it: composed (NFC), so that a letter typed as a
// base and a separate accent still has its Windows-1252 character, and with every line break, tab
// or other control character turned into a blank, so that a name is always one line of its file.
QString recordName(const QString &typed);

// Whether a game's score beats the record given: the game's one record rule.
using BeatsRecord = std::function<bool(double record)>;

enum class SaveOutcome {
    NotBeaten, // the record on file is as high (another game may have raised it): nothing written
    Saved,
    KeptAside, // the program is being ended and another game held the record: see keptrecord.h
};

// Saves score and name as the new record when the score beats the record on file (which another
// game may have raised meanwhile). Both files are written whole to temporary files and renamed
// over the old ones under an exclusive lock on the directory; a failure leaves the old pair as it
// was, and its RuntimeError begins "Il tuo record non è stato registrato".
SaveOutcome saveRecord(const QString &windowsDir, const QString &scoreText, const QString &name,
                       const BeatsRecord &beats, const RecordServices &services);

} // namespace records
