// SPDX-License-Identifier: GPL-3.0-or-later
// A fault scenario as a row of a table: a game with an old record of 3 meets a fault of its
// record directory, before it starts or once the player has beaten the record and leaves; the row
// says what the last box must name and what must be left on the disk. faultrow::run plays a row,
// reports it to the reliability figures and asserts each of its checks.
#pragma once

#include "fixture.h"
#include "reliability.h"
#include "scratchdisk.h"

#include <QDir>

#include <functional>
#include <memory>

namespace faultrow {

// The record files' pair: the old record every scenario starts with, and the one Anna's four right
// answers beat it with.
struct Pair {
    QByteArray score;
    QByteArray holder;
    bool operator==(const Pair &) const = default;
};
inline const QByteArray oldScore = "3\r\n";
inline const QByteArray oldHolder = "Vecchio campione\r\n";
inline const Pair oldPair{oldScore, oldHolder};
inline const Pair annasPair{"4\r\n", "Anna\r\n"};

inline Pair pairIn(const GameSeams &seams)
{
    return {seams.bytes(records::scoreFileName), seams.bytes(records::nameFileName)};
}

inline void writeOldPair(const GameSeams &seams)
{
    seams.write(records::scoreFileName, oldScore);
    seams.write(records::nameFileName, oldHolder);
}

// Answers right until the score beats the old record of 3.
inline void beatTheRecord(Tavola &game)
{
    answerRight(game, 4);
    QCOMPARE(int(game.drill().correct()), 4);
}

enum class Disk { Private, Tmpfs };

// What a row's steps act on while it runs.
struct World {
    GameSeams &seams;
    QString dir;
    scratchdisk::Tmpfs &tmpfs;
    std::unique_ptr<scratchdisk::InjectedFailure> injected; // reset as soon as the game ends
    QString otherPupil; // another pupil's private folder, outside the record directory
};

// Another pupil's private diary, which no fault may let the game show, change or widen.
inline const QByteArray secret = "segreto di Bruno\r\n";

inline QString writeDiary(const World &world)
{
    const QString diary = world.otherPupil + QStringLiteral("/diario.txt");
    QFile f(diary);
    const bool written = f.open(QIODevice::WriteOnly) && f.write(secret) == secret.size();
    f.close();
    return written && f.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ? diary : QString();
}

inline bool diaryUntouched(const World &world)
{
    QFile diary(world.otherPupil + QStringLiteral("/diario.txt"));
    return diary.permissions() ==
               (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser) &&
           diary.open(QIODevice::ReadOnly) && diary.readAll() == secret &&
           !world.seams.dialogs.prompts().join(u'|').contains(QStringLiteral("segreto"));
}

struct Row {
    Row() = default;
    Row(QString name, QString fault, Disk disk, bool atStart, std::function<QString(World &)> make,
        int code, QStringList said, std::function<bool(World &)> intact = {},
        std::function<void(World &)> undo = {})
        : name(std::move(name)), fault(std::move(fault)), disk(disk), atStart(atStart),
          make(std::move(make)), code(code), said(std::move(said)), intact(std::move(intact)),
          undo(std::move(undo))
    {}

    QString name;  // in the reliability figures
    QString fault; // the kind of fault, for the figures
    Disk disk = Disk::Private;
    bool atStart = false; // the fault comes before the start, or before the save
    // Makes the fault; returns why it cannot be made here (the row is then skipped), or nothing.
    std::function<QString(World &)> make;
    int code = 1; // the game's end code; -1: it goes on
    // What the last box, a critical one, says (nothing to check where the game goes on).
    QStringList said;
    // What is left on the disk; by default the old pair, whole.
    std::function<bool(World &)> intact;
    // Puts back what would keep the directory from being removed (after the checks' readings).
    std::function<void(World &)> undo;
};

inline bool oldPairWhole(World &world)
{
    return pairIn(world.seams) == oldPair;
}

// The names in the directory beyond the record's own files and a full disk's filler.
inline QStringList leftovers(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &own : {records::scoreFileName, records::nameFileName, records::lockFileName,
                               QStringLiteral("filler")})
        names.removeAll(own);
    return names;
}

inline bool lastBoxSays(const GameSeams &seams, const QStringList &pieces)
{
    if (seams.dialogs.calls().isEmpty())
        return false;
    const auto &box = seams.dialogs.calls().constLast();
    return box.style == platform::vbCritical &&
           std::all_of(pieces.begin(), pieces.end(),
                       [&box](const QString &piece) { return box.prompt.contains(piece); });
}

// Starts the game; returns the end code, or -1 when it goes on.
inline int start(GameSeams &seams, Tavola &game)
{
    seams.dialogs.type(QStringLiteral("Anna"));
    seams.dialogs.answer(platform::vbOK);
    try {
        game.Show();
    } catch (const platform::ProgramEnded &end) {
        return end.code;
    }
    return -1;
}

// Plays the row: the fault made before the start, or after four right answers and before the exit
// button's Yes.
inline int play(World &world, const Row &row, Tavola &game, QString &unavailable)
{
    if (row.atStart) {
        unavailable = row.make(world);
        return unavailable.isEmpty() ? start(world.seams, game) : -1;
    }
    world.seams.start(game);
    beatTheRecord(game);
    unavailable = row.make(world);
    return unavailable.isEmpty() ? leaveByExit(world.seams, game) : -1;
}

inline void run(const Row &row)
{
    scratchdisk::Tmpfs tmpfs;
    QTemporaryDir base;
    QTemporaryDir otherPupil;
    const QString dir =
        row.disk == Disk::Tmpfs ? tmpfs.path() : base.path() + QStringLiteral("/record");
    QVERIFY(QDir().mkpath(dir));
    GameSeams seams(dir);
    writeOldPair(seams);
    World world{seams, dir, tmpfs, nullptr, otherPupil.path()};
    Tavola game(seams.services());
    QString unavailable;
    const int code = play(world, row, game, unavailable);
    world.injected.reset();
    if (!unavailable.isEmpty()) {
        reliability::skipped(row.name, row.fault, unavailable);
        QSKIP(qPrintable(unavailable));
    }
    const bool told = row.said.isEmpty() || lastBoxSays(seams, row.said);
    const bool intact = row.intact ? row.intact(world) : oldPairWhole(world);
    const QStringList left = leftovers(dir);
    if (row.undo)
        row.undo(world);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    reliability::outcome("fault", row.name, row.fault, code == row.code && told, intact ? 0 : 1);
    QCOMPARE(code, row.code);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(intact);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
}

} // namespace faultrow

Q_DECLARE_METATYPE(faultrow::Row)
