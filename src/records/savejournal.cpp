// SPDX-License-Identifier: GPL-3.0-or-later
#include "savejournal.h"
#include "entries.h"
#include "recordfiles.h"

#include <QByteArrayList>
#include <QCryptographicHash>

namespace records {

namespace {

const QByteArray journalMark = "vorandi journal 1\r\n";
const QByteArray lineEnd = "\r\n";

QByteArray contentIdentity(const QByteArray &content)
{
    return "sha256:" + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
}

} // namespace

Standing standingAt(const QString &localPath)
{
    switch (entryKind(localPath)) {
    case EntryKind::None:
        return {"none", std::nullopt};
    case EntryKind::Regular:
        if (auto content = regularFileContent(localPath, maxRecordFileSize))
            return {contentIdentity(*content), std::move(content)};
        return {"unreadable", std::nullopt};
    default:
        return {"other", std::nullopt};
    }
}

QByteArray journalBytes(const SaveJournal &journal)
{
    return journalMark + journal.scoreBefore + lineEnd + journal.nameBefore + lineEnd +
           journal.pair.score + journal.pair.name;
}

std::optional<SaveJournal> parseJournal(const QByteArray &bytes)
{
    if (!bytes.startsWith(journalMark))
        return std::nullopt;
    QList<QByteArray> lines;
    qsizetype from = journalMark.size();
    for (int i = 0; i < 3; ++i) {
        const qsizetype end = bytes.indexOf(lineEnd, from);
        if (end < 0)
            return std::nullopt;
        lines << bytes.mid(from, end - from);
        from = end + 2;
    }
    SaveJournal journal{lines[0], lines[1], {lines[2] + lineEnd, bytes.mid(from)}};
    if (!isScoreLine(journal.pair.score) || !journal.pair.name.endsWith(lineEnd))
        return std::nullopt;
    return journal;
}

bool pairBelongsTo(const SaveJournal &journal, const QString &scorePath, const QString &namePath)
{
    const auto holdsBeforeOrAfter = [](const QString &path, const QByteArray &before,
                                       const QByteArray &written) {
        const QByteArray now = standingAt(path).identity;
        return now == before || now == contentIdentity(written);
    };
    return holdsBeforeOrAfter(scorePath, journal.scoreBefore, journal.pair.score) &&
           holdsBeforeOrAfter(namePath, journal.nameBefore, journal.pair.name);
}

} // namespace records
