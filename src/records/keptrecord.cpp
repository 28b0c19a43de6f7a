// SPDX-License-Identifier: GPL-3.0-or-later
#include "keptrecord.h"
#include "entries.h"
#include "pendingfile.h"
#include "platform/cp1252.h"
#include "recordfiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <optional>

namespace records {

namespace {

const QString keptPrefix = QStringLiteral("vora.kept-");
constexpr int keptDigits = 8;
constexpr int highestScore = 32767;

std::optional<RecordLines> parseKept(const QByteArray &bytes)
{
    const qsizetype end = bytes.indexOf("\r\n");
    if (end < 0)
        return std::nullopt;
    const QByteArray name = bytes.mid(end + 2);
    if (!isScoreLine(bytes.left(end + 2)) || !name.endsWith("\r\n"))
        return std::nullopt;
    return RecordLines{bytes.left(end + 2), asNameLine(name)};
}

} // namespace

bool isScoreLine(const QByteArray &bytes)
{
    static const QRegularExpression number(QStringLiteral("^(0|[1-9][0-9]{0,4})\r\n$"));
    return number.match(QString::fromLatin1(bytes)).hasMatch() &&
           bytes.chopped(2).toInt() <= highestScore;
}

QByteArray asNameLine(const QByteArray &line)
{
    return platform::toCp1252(recordName(platform::fromCp1252(line.chopped(2)))) + "\r\n";
}

void keepAside(const QString &dir, const RecordLines &record, const SystemCalls &calls)
{
    QString path;
    do {
        path = dir + u'/' + keptPrefix +
               QString::number(QRandomGenerator::global()->generate(), 16)
                   .rightJustified(keptDigits, u'0');
    } while (entryKind(path) != EntryKind::None);
    PendingFile(path, record.score + record.name, calls).commit();
}

void takeKeptRecords(const QString &dir, const std::function<void(const RecordLines &)> &putInPlace)
{
    const QDir folder(dir);
    // Exactly the names keepAside gives, case included: "VORA.KEPT-…" is no kept record.
    const auto all =
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::CaseSensitive;
    const QString pattern = keptPrefix + QString(keptDigits, u'?');
    const QStringList names = folder.entryList({pattern}, all);
    // A keepAside cut short leaves its temporary file, never a kept record: it goes.
    for (const QString &name : folder.entryList({u'.' + pattern + u'-' + QString(keptDigits, u'?')},
                                                QDir::Files | QDir::Hidden | QDir::CaseSensitive))
        removeEntry(dir + u'/' + name);
    std::optional<RecordLines> best;
    for (const QString &name : names) {
        const auto bytes = gameWrittenFile(dir + u'/' + name, maxRecordFileSize);
        const auto kept = bytes ? parseKept(*bytes) : std::nullopt;
        if (kept && (!best || kept->score.chopped(2).toInt() > best->score.chopped(2).toInt()))
            best = kept;
    }
    if (best)
        putInPlace(*best);
    for (const QString &name : names)
        removeEntry(dir + u'/' + name);
}

} // namespace records
