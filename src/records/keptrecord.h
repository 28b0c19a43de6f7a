// SPDX-License-Identifier: GPL-3.0-or-later
// A beaten record the program could not save before it had to end (a signal, a display gone, a
// logout while another game held the record's lock): kept aside in the record directory, in a
// file of its own, until a game holding the lock puts it in place.
#pragma once

#include "systemcalls.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace records {

// The two record files' content, each one line ending in CR LF, as a save writes them.
struct RecordLines {
    QByteArray score;
    QByteArray name;
};

// A score line a game can write: a whole number from 0 to 32767, then CR LF.
bool isScoreLine(const QByteArray &bytes);

// A name line ending in CR LF as this program writes it: a name that a file still holds with a
// line break or a CR inside (an earlier version wrote it so) becomes the one line the name rule
// makes of it, so a record is never dropped for its name.
QByteArray asNameLine(const QByteArray &line);

// Writes the record whole and flushed to a new file of the directory (a local path) that no
// other game uses; a RuntimeError naming it when it cannot.
void keepAside(const QString &dir, const RecordLines &record, const SystemCalls &calls);

// Only under the directory lock: gives putInPlace the highest record kept aside in dir that is
// exactly what keepAside writes, then removes every one, and anything else at their names.
void takeKeptRecords(const QString &dir,
                     const std::function<void(const RecordLines &)> &putInPlace);

} // namespace records
