// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a save, written whole before either record file is touched: the new pair, and
// what stood at each record file's name when the save began. A save cut short at any later step
// (a kill, a power cut) is finished by the next game that takes the lock, but only while each
// record file still holds what it held before that save or what the save writes there: a pair put
// in place since, by hand or by an older version of the game, is never replaced by it.
#pragma once

#include "keptrecord.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace records {

inline const QString journalFileName = QStringLiteral("vora.journal");

// What stands at a record file's name: its identity (nothing, something that is no readable
// regular file, or a file's content by its digest) and, for a file, the content itself.
struct Standing {
    QByteArray identity;
    std::optional<QByteArray> content;
};

Standing standingAt(const QString &localPath);

struct SaveJournal {
    QByteArray scoreBefore; // identities, as Standing gives them
    QByteArray nameBefore;
    RecordLines pair;
};

QByteArray journalBytes(const SaveJournal &journal);
// Nothing when the bytes are not what journalBytes writes.
std::optional<SaveJournal> parseJournal(const QByteArray &bytes);

// Whether each record file holds what it held when the journal's save began, or what that save
// writes there: only then is the pair on disk one the save itself left.
bool pairBelongsTo(const SaveJournal &journal, const QString &scorePath, const QString &namePath);

} // namespace records
