// SPDX-License-Identifier: GPL-3.0-or-later
// Faults of the disk and of the process: a missing, read-only or full record directory, record
// files replaced by folders or broken links, and saves killed half-way. The game never crashes,
// says what went wrong in Italian, and never leaves a record half-written or lost.
#include "columns.h"
#include "fixture.h"
#include "platform/cp1252.h"
#include "platform/ending.h"
#include "platform/files.h"
#include "records/systemcalls.h"
#include "reliability.h"
#include "rivals.h"
#include "saverecordname.h"
#include "scratchdisk.h"
#include "support/faultrow.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSessionManager>
#include <QStandardPaths>

#include <QDir>

#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace platform;
using scratchdisk::InjectedFailure;
using scratchdisk::Tmpfs;

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void directoryFaultIsToldAndKeepsThePair_data();
    void directoryFaultIsToldAndKeepsThePair();
    void oldNameThatCannotGoBackIsSaidSo();
    void lockHeldByAnotherGame_data();
    void lockHeldByAnotherGame();
    void anotherAccountOfTheGroup_data();
    void anotherAccountOfTheGroup();
    void pairIsReadWholeWhileAnotherGameSaves();
    void everyWayOutFromOutsideSaves_data();
    void everyWayOutFromOutsideSaves();
    void logoutSavesWithoutABox();
    void dataDirectoryFromTheEnvironment_data();
    void dataDirectoryFromTheEnvironment();
    void recordDirectoryOf300Characters();
    void startKeepsOnePairWhateverItFinds_data();
    void startKeepsOnePairWhateverItFinds();
    void killedSavesLeaveACompletePair();
};

// The two-account cases need a second account, which only root can make: without it the case is
// skipped, and the reliability figures say so. A macro because QSKIP returns from the test.
#define SKIP_WITHOUT(account, rowName)                                                             \
    if (!(account).ok()) {                                                                         \
        reliability::skipped(rowName, QStringLiteral("second account"), (account).why());          \
        QSKIP(qPrintable((account).why()));                                                        \
    }

namespace {

// Sets or unsets an environment variable for the rest of a scope, then puts back what it was,
// unset included, however the test leaves the scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value) : name_(name), old_(qgetenv(name))
    {
        wasSet_ = qEnvironmentVariableIsSet(name);
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { wasSet_ ? qputenv(name_, old_) : qunsetenv(name_); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name_;
    QByteArray old_;
    bool wasSet_ = false;
};

using faultrow::beatTheRecord;
using faultrow::oldHolder;
using faultrow::oldScore;
using faultrow::Pair;
using faultrow::pairIn;
using faultrow::writeOldPair;

// A game that finds its record directory as the program does, through the environment.
int startWithTheRealDirectory(GameSeams &seams)
{
    game::Services services = seams.services();
    services.recordDirectory = records::GetWindowsDirectoryA;
    Tavola game(services);
    return faultrow::start(seams, game);
}

// The last box shown: a critical message that names the file and gives the reason.
bool saidWhy(const GameSeams &seams, const QString &file, const QString &reason)
{
    return faultrow::lastBoxSays(seams, {file, reason});
}

// The records games kept aside when they could not save.
QStringList keptRecords(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("vora.kept-*")}, QDir::Files);
}

// A record directory of the given mode inside a home another account may enter but not write
// (mode 755); empty when it cannot be made.
QString recordDirInOpenHome(const QTemporaryDir &base, mode_t mode)
{
    const QString dir = base.path() + QStringLiteral("/record");
    const bool made = ::chmod(QFile::encodeName(base.path()), 0755) == 0 && QDir().mkdir(dir) &&
                      ::chmod(QFile::encodeName(dir), mode) == 0;
    return made ? dir : QString();
}

// A save of 9 by "Nuova" killed right after its given rename (1: the journal, 2: the name file,
// 3: the score file), as a kill would leave it: nothing of the save runs after that rename.
void killSaveAfterRename(GameSeams &seams, int killedAfter)
{
    struct Killed {};
    int renames = 0;
    seams.calls.rename = [&renames, killedAfter](const char *from, const char *to) {
        const int result = records::systemRename(from, to);
        if (++renames == killedAfter)
            throw Killed{};
        return result;
    };
    QVERIFY_THROWS_EXCEPTION(Killed,
                             records::saveRecord(
                                 seams.dir() + u'\\', QStringLiteral("9"), QStringLiteral("Nuova"),
                                 [](double) { return true; }, seams.recordServices()));
    seams.calls = records::SystemCalls();
}

const QString noFile = QStringLiteral("il file o la cartella non esiste");
const QString notSaved = QStringLiteral("Il tuo record non è stato registrato: ");

using faultrow::Disk;
using faultrow::Row;
using faultrow::World;

QString withoutPrivateMounts(const World &world)
{
    return world.tmpfs.mounted() ? QString() : QStringLiteral("no private mount namespace");
}

// The directory made read-only in one of three ways; a start still reads the record where only
// the permissions refuse writing.
Row readOnlyDisk(const QString &how, bool atStart)
{
    const bool byPermissions = how == QStringLiteral("permissions");
    QStringList said{records::scoreFileName,
                     byPermissions ? QStringLiteral("non si hanno i permessi per usarlo")
                                   : QStringLiteral("il disco è di sola lettura")};
    if (!atStart)
        said << notSaved; // at the save the box first says that the record was not saved
    if (byPermissions && atStart)
        said.clear();
    return Row(
        QStringLiteral("read-only disk %1").arg(atStart ? "at the start" : "at the save"), how,
        how == QStringLiteral("tmpfs") ? Disk::Tmpfs : Disk::Private, atStart,
        [how](World &w) {
            if (how == QStringLiteral("tmpfs"))
                return w.tmpfs.remountReadOnly() ? QString() : withoutPrivateMounts(w);
            if (how == QStringLiteral("permissions")) {
                if (::geteuid() == 0)
                    return QStringLiteral("permissions do not stop root");
                QFile::setPermissions(w.dir, QFile::ReadOwner | QFile::ExeOwner);
                return QString();
            }
            w.injected = std::make_unique<InjectedFailure>(w.dir, EROFS);
            return QString();
        },
        byPermissions && atStart ? -1 : 1, said);
}

Row fullDisk(const QString &how)
{
    return Row(QStringLiteral("full disk at the save"), how,
               how == QStringLiteral("tmpfs") ? Disk::Tmpfs : Disk::Private, false,
               [how](World &w) {
                   if (how == QStringLiteral("tmpfs"))
                       return w.tmpfs.fill() ? QString() : withoutPrivateMounts(w);
                   w.injected = std::make_unique<InjectedFailure>(w.dir, ENOSPC);
                   return QString();
               },
               1, {records::scoreFileName, QStringLiteral("il disco è pieno"), notSaved});
}

// The other file keeps the old half of the pair and nothing of the save waits beside it: the save
// did not go ahead with one file.
Row replacedByDirectory(const QString &file, bool atStart)
{
    return Row(
        QStringLiteral("%1 replaced by a directory %2")
            .arg(file, atStart ? "at the start" : "during the game"),
        QStringLiteral("mkdir"), Disk::Private, atStart,
        [file](World &w) {
            const bool made = QFile::remove(w.seams.path(file)) && QDir().mkdir(w.seams.path(file));
            return made ? QString() : QStringLiteral("the file could not be replaced");
        },
        1, {file, QStringLiteral("al suo posto c'è una cartella")},
        [file](World &w) {
            const bool score = file == records::scoreFileName;
            const QString other = score ? records::nameFileName : records::scoreFileName;
            return w.seams.bytes(other) == (score ? oldHolder : oldScore) &&
                   QFileInfo(w.seams.path(file)).isDir() &&
                   !QFileInfo::exists(w.seams.path(records::scoreFileName + ".new")) &&
                   !QFileInfo::exists(w.seams.path(records::nameFileName + ".new"));
        });
}

// Removes the record directory; whatever the game says, it makes nothing up in its place.
QString removeTheDirectory(World &w)
{
    return QDir(w.dir).removeRecursively() ? QString() : QStringLiteral("not removed");
}

bool directoryStaysAway(World &w)
{
    return !QFileInfo::exists(w.dir) && openFileCount() == 0;
}

// The name file is replaced first; when the score file then cannot be, the old name goes back:
// the disk holds the old pair whole, nothing of the save stays in view, and the box says the
// record was not saved.
Row scoreFileCannotBeReplaced()
{
    return Row(
        QStringLiteral("score file cannot be replaced at the save"), QStringLiteral("immutable"),
        Disk::Private, false,
        [](World &w) {
            const QString score = w.seams.path(records::scoreFileName);
            return QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), score}) == 0
                       ? QString()
                       : QStringLiteral("chattr +i needs root and ext4");
        },
        1,
        {records::scoreFileName,
         QStringLiteral("Il tuo record non è stato registrato: errore sul file")},
        [](World &w) {
            const QStringList left =
                QDir(w.dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            return faultrow::oldPairWhole(w) &&
                   left == QStringList{records::nameFileName, records::lockFileName,
                                       records::scoreFileName};
        },
        [](World &w) {
            QProcess::execute(QStringLiteral("chattr"),
                              {QStringLiteral("-i"), w.seams.path(records::scoreFileName)});
        });
}

// A link at a record file's name is never followed: at the start the game names it and ends,
// showing nothing of what it points at and making nothing there; planted during a game, the save
// replaces the link itself with the record file. target: empty for another pupil's diary.
Row linkAt(const QString &file, const QString &target, const QString &what, bool atStart)
{
    const auto plant = [file, target](World &w) {
        const QString to = target.isEmpty() ? writeDiary(w) : target;
        const bool made = !to.isEmpty() && QFile::remove(w.seams.path(file)) &&
                          QFile::link(to, w.seams.path(file));
        return made ? QString() : QStringLiteral("the link could not be made");
    };
    const auto intact = [file, target, atStart](World &w) {
        const bool score = file == records::scoreFileName;
        const bool kept =
            atStart ? w.seams.bytes(score ? records::nameFileName : records::scoreFileName) ==
                              (score ? oldHolder : oldScore) &&
                          QFileInfo(w.seams.path(file)).isSymLink() &&
                          !QFileInfo::exists(w.seams.path(QStringLiteral("elsewhere.txt")))
                    : !QFileInfo(w.seams.path(file)).isSymLink() &&
                          pairIn(w.seams) == faultrow::annasPair;
        return kept && (!target.isEmpty() || faultrow::diaryUntouched(w));
    };
    return Row(QStringLiteral("record file is a link: %1 %2 %3")
                   .arg(file, what, atStart ? "at the start" : "during the game"),
               QStringLiteral("symlink"), Disk::Private, atStart, plant, atStart ? 1 : 0,
               atStart ? QStringList{file, QStringLiteral("collegamento simbolico")}
                       : QStringList{},
               intact);
}

// A second name for another pupil's private file, made where hard links are not protected (the
// group may write the folder): the start names it and ends, and the file is neither widened to
// the group nor shown.
Row hardLinkAt(const QString &file)
{
    return Row(
        QStringLiteral("%1 is a hard link").arg(file), QStringLiteral("hard link"), Disk::Private,
        true,
        [file](World &w) {
            const QString diary = writeDiary(w);
            QFile::remove(w.seams.path(file));
            const bool made =
                !diary.isEmpty() && ::chmod(QFile::encodeName(w.dir), 0770) == 0 &&
                ::link(QFile::encodeName(diary), QFile::encodeName(w.seams.path(file))) == 0;
            return made ? QString() : QStringLiteral("the hard link could not be made");
        },
        1, {file, QStringLiteral("collegamento fisso")}, faultrow::diaryUntouched);
}
} // namespace

void TestFaults::directoryFaultIsToldAndKeepsThePair_data()
{
    QTest::addColumn<Row>("row");
    QTest::newRow("directory missing at the start")
        << Row(QStringLiteral("record directory missing at the start"),
               QStringLiteral("directory removed"), Disk::Private, true, removeTheDirectory, 1,
               {records::scoreFileName, noFile}, directoryStaysAway);
    QTest::newRow("directory removed during the game")
        << Row(QStringLiteral("record directory removed during the game"),
               QStringLiteral("directory removed"), Disk::Private, false, removeTheDirectory, 1,
               {QStringLiteral("record"), noFile}, directoryStaysAway);
    for (const bool atStart : {true, false}) {
        const char *when = atStart ? "at the start" : "at the save";
        for (const char *how : {"tmpfs", "permissions", "injected"})
            QTest::addRow("read-only by %s %s", how, when)
                << readOnlyDisk(QString::fromLatin1(how), atStart);
        for (const QString &file : {records::scoreFileName, records::nameFileName})
            QTest::addRow("%s replaced by a directory %s", qPrintable(file), when)
                << replacedByDirectory(file, atStart);
    }
    QTest::newRow("full tmpfs") << fullDisk(QStringLiteral("tmpfs"));
    QTest::newRow("full, injected") << fullDisk(QStringLiteral("injected"));
    QTest::newRow("score file immutable") << scoreFileCannotBeReplaced();
    for (const QString &file : {records::scoreFileName, records::nameFileName}) {
        const std::pair<QString, const char *> links[] = {
            {QString(), "to another pupil's file"},
            {"elsewhere.txt", "to a missing file"},
            {"missing/vora.txt", "into a missing folder"},
            {file, "to itself"}};
        for (const auto &[target, what] : links)
            QTest::addRow("%s %s at the start", qPrintable(file), what)
                << linkAt(file, target, QString::fromLatin1(what), true);
        QTest::addRow("%s to another pupil's file during the game", qPrintable(file))
            << linkAt(file, QString(), QStringLiteral("to another pupil's file"), false);
    }
    for (const QString &file :
         {records::scoreFileName, records::nameFileName, records::lockFileName})
        QTest::addRow("%s is a hard link", qPrintable(file)) << hardLinkAt(file);
}

// A fault of the record directory, made before the start or once the record is beaten: the game
// ends with a box naming the file and the reason, or goes on where it safely can, and leaves the
// pair and every other file as the row says.
void TestFaults::directoryFaultIsToldAndKeepsThePair()
{
    QFETCH(Row, row);
    faultrow::run(row);
}

// The score file cannot follow the new name, and the old name cannot go back either: the box says
// that the save is only half done and that the next game completes it, which it does.
void TestFaults::oldNameThatCannotGoBackIsSaidSo()
{
    faultrow::Scene scene;
    auto &[seams, game] = scene;
    int nameMoves = 0;
    seams.calls.rename = [&nameMoves](const char *from, const char *to) {
        const QByteArray target(to);
        if (target.endsWith("/vora.txt") || (target.endsWith("/nvora.txt") && ++nameMoves > 1)) {
            errno = EIO;
            return -1;
        }
        return records::systemRename(from, to);
    };
    const int code = leaveByExit(seams, game);
    seams.calls = records::SystemCalls();
    const bool told =
        code == 1 &&
        saidWhy(seams, records::scoreFileName,
                QStringLiteral("Il tuo record non è stato registrato del tutto")) &&
        seams.dialogs.prompts().constLast().contains(QStringLiteral("La prossima partita"));
    Tavola next(seams.services());
    seams.start(next, QStringLiteral("Bruno"));
    const bool completed = pairIn(seams) == faultrow::annasPair;
    reliability::outcome("fault", QStringLiteral("old name cannot go back after a failed save"),
                         QStringLiteral("injected"), told, completed ? 0 : 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(completed);
    QVERIFY2(faultrow::leftovers(seams.dir()).isEmpty(),
             qPrintable(faultrow::leftovers(seams.dir()).join(u' ')));
}

namespace {

// A game meeting the record's lock held by another game, at the start or at the save, watched so
// that a wait that never ends still ends the case.
struct LockScene {
    explicit LockScene(bool atStart)
        : scene(atStart ? faultrow::Scene::Loaded : faultrow::Scene::Beaten)
    {}
    faultrow::Scene scene;
    GameSeams &seams = scene.seams;
    Tavola &game = scene.game;
    rivals::GameHoldingTheLock rival{seams.dir()};
    Pair seenWhileAsked; // the pair on disk while the player is asked to wait more
    QStringList keptWhileAsked;
};

struct LockRow {
    QString name; // in the figures
    bool atStart = false;
    int freedInRound = 0; // the wait in which the other game lets go; 0: none
    QList<int> answers;   // to "shall I wait more?"
    std::function<void(LockScene &)> whileAsked; // as the first of those questions is open
    std::function<bool(LockScene &, int code)> asExpected;
    Pair kept; // the pair on disk afterwards
};

// The other game lets go while the question is open, and a windowless game saves 20 meanwhile.
void anotherGameSaves(LockScene &s)
{
    s.rival.letGo();
    // Windowless, it keeps its record aside if it cannot have the lock.
    faultrow::saveElsewhere({s.seams.dir(), QStringLiteral("Zeta"), QStringLiteral("20"),
                             QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("--create")});
    s.seenWhileAsked = pairIn(s.seams);
    s.keptWhileAsked = keptRecords(s.seams.dir());
}

// The other game lets go and the session ends while the question is open.
void sessionEndsWhileAsked(LockScene &s)
{
    s.rival.letGo();
    platform::runBeforeEveryWayOut([&s] { s.game.SilentRecordCheck(); });
    platform::sessionEnding();
    platform::runBeforeEveryWayOut({});
    s.seenWhileAsked = pairIn(s.seams);
}

bool startsWithTheOldRecord(LockScene &s, int code)
{
    return code == -1 && s.game.isLoaded() && s.game.lblpunti->Caption() == "3\r\n";
}

bool savesAndSaysSo(LockScene &s, int code)
{
    return code == 0 &&
           s.seams.dialogs.prompts().last().startsWith(QStringLiteral("Ok ho registrato"));
}

// The player's own choice is named, and the folder, never the hidden lock file.
bool endsAtThePlayersChoice(LockScene &s, bool atStart)
{
    const QString dir = s.seams.dir();
    return saidWhy(s.seams, QDir::toNativeSeparators(dir),
                   QStringLiteral("hai scelto di non aspettare")) &&
           !s.seams.dialogs.prompts().join(u'|').contains(records::lockFileName) &&
           (atStart ||
            saidWhy(s.seams, dir, QStringLiteral("Il tuo record non è stato registrato")));
}

const QString heldLock = QStringLiteral("record lock held by another game ");
const Pair zetasPair{"20\r\n", "Zeta-20\r\n"};

LockRow heldThenFreed(const char *when, bool atStart, int freedInRound, QList<int> answers)
{
    return LockRow(heldLock + QString::fromLatin1(when), atStart, freedInRound, std::move(answers),
                   {}, atStart ? startsWithTheOldRecord : savesAndSaysSo,
                   atStart ? faultrow::oldPair : faultrow::annasPair);
}

LockRow heldOn(const char *when, bool atStart)
{
    const auto ends = [atStart](LockScene &s, int code) {
        return code == 1 && endsAtThePlayersChoice(s, atStart);
    };
    return LockRow(heldLock + QString::fromLatin1(when), atStart, 0, {vbNo}, {}, ends,
                   faultrow::oldPair);
}

} // namespace

Q_DECLARE_METATYPE(LockRow)

void TestFaults::lockHeldByAnotherGame_data()
{
    const LockRow rows[] = {
        heldThenFreed("at the start, freed while waiting", true, 1, {}),
        heldOn("at the start, the player stops waiting", true),
        heldThenFreed("at the save, freed while waiting", false, 1, {}),
        heldThenFreed("at the save, freed after the player chose to wait more", false, 2, {vbYes}),
        heldOn("at the save, the player gives up", false),
        heldThenFreed("at the save, freed while the player is asked, who answers No", false, -1,
                      {vbNo}),
        LockRow(
            QStringLiteral("a question left open while another game saves"), false, 0, {vbYes},
            anotherGameSaves,
            [](LockScene &s, int code) {
                return code == 0 && s.seenWhileAsked == zetasPair && s.keptWhileAsked.isEmpty();
            },
            zetasPair),
        LockRow(
            QStringLiteral("logout while the player is asked to wait more"), false, 0, {vbNo},
            sessionEndsWhileAsked,
            [](LockScene &s, int code) {
                return code == 0 && s.seenWhileAsked == faultrow::annasPair;
            },
            faultrow::annasPair)};
    faultrow::addRows(rows, &LockRow::name);
}

// A game that finds the record's lock held says so on screen while it waits, asks before giving
// up, and gives up only with a message naming the folder; it never waits silently. Another game
// may start and save while a question is left open, and a logout during the question takes the
// lock through the wait already in progress, not a second request that the first would beat.
void TestFaults::lockHeldByAnotherGame()
{
    QFETCH(LockRow, row);
    LockScene s(row.atStart);
    QVERIFY(s.rival.held());
    for (int round = 1; round <= 3; ++round)
        s.seams.wait.rounds.push_back([&s, round, freed = row.freedInRound] {
            if (round == freed)
                s.rival.letGo();
        });
    rivals::HangWatch watch([&s] { s.rival.letGo(); });
    if (row.atStart) {
        s.seams.dialogs.type(QStringLiteral("Anna"));
        s.seams.dialogs.answer(vbOK);
    } else {
        s.seams.dialogs.answer(vbYes);
    }
    for (const int a : row.answers)
        s.seams.dialogs.answer(a, [&s, &row](const ScriptedDialogs::Call &) {
            if (row.freedInRound < 0)
                s.rival.letGo();
            if (row.whileAsked)
                row.whileAsked(s);
        });
    const int code =
        row.atStart ? faultrow::endCode([&s] { s.game.Show(); }) : faultrow::clickExit(s.game);
    const bool hung = watch.stop();
    // The start's wait speaks of the start, the save's of the save.
    const QString waited = s.seams.wait.messages.value(0);
    const bool toldWhileWaiting =
        waited.startsWith(QStringLiteral("Un'altra partita di Vorandi")) &&
        waited.contains(QStringLiteral("La partita comincia")) == row.atStart &&
        waited.contains(QStringLiteral("registrato")) == !row.atStart;
    const bool asExpected = row.asExpected(s, code);
    const bool lost = pairIn(s.seams) != row.kept;
    reliability::outcome("fault", row.name, QStringLiteral("lock file"),
                         asExpected && toldWhileWaiting, lost ? 1 : 0, hung ? 1 : 0);
    QVERIFY(!hung);
    QVERIFY2(toldWhileWaiting, qPrintable(waited));
    QVERIFY2(asExpected, qPrintable(s.seams.dialogs.prompts().join(u'|')));
    QVERIFY(!lost);
}

namespace {

// Another account of the group meets the record directory, in a home it may enter but not write.
struct AccountScene {
    AccountScene(const rivals::Account &other, const QString &dir) : other(other), seams(dir) {}
    const rivals::Account &other;
    GameSeams seams;
    Tavola game{seams.services()};
    bool hung = false;
};

struct AccountRow {
    QString name; // in the figures
    mode_t dirMode = 0755;
    std::function<QStringList(AccountScene &)> play; // returns what went wrong
    Pair kept;                                       // the pair on disk afterwards
};

// The other account can read the directory and lock it, but cannot open the record's lock file at
// all: the save of the account that owns the record goes on as if nobody were there.
QStringList strangerHoldsWhatItCan(AccountScene &s)
{
    s.seams.start(s.game);
    beatTheRecord(s.game);
    const QByteArray dir = QFile::encodeName(s.seams.dir());
    const QByteArray lock = QFile::encodeName(s.seams.path(records::lockFileName));
    rivals::AsAnotherAccount stranger(s.other, [&dir, &lock] {
        // The directory itself, which any account that may read it can lock, then the lock file
        // in every way that could hold it.
        const int d = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
        int report = d >= 0 && ::flock(d, LOCK_EX) == 0 ? 1 : 0;
        for (const int flags : {O_WRONLY | O_CREAT, O_RDONLY, O_RDWR}) {
            const int f = ::open(lock.constData(), flags, 0666);
            struct flock whole {};
            whole.l_type = flags == O_RDONLY ? F_RDLCK : F_WRLCK;
            if (f >= 0 && ::fcntl(f, F_OFD_SETLK, &whole) == 0)
                report |= 2;
        }
        return report;
    });
    rivals::HangWatch watch([&stranger] { stranger.kill(); });
    const int code = leaveByExit(s.seams, s.game);
    s.hung = watch.stop();
    stranger.letGo();
    QStringList wrong;
    if (stranger.report() < 0 || !(stranger.report() & 1))
        wrong << QStringLiteral("the other account could not even lock the directory");
    if (stranger.report() & 2)
        wrong << QStringLiteral("the other account took the record's lock");
    if (s.hung || code != 0 || !s.seams.wait.messages.isEmpty())
        wrong << QStringLiteral("the save waited, hung or failed: %1").arg(code);
    return wrong;
}

// The first player to save owns the lock file; taking its write permission away must not switch
// the lock off for the other accounts of the group: their save stops with a message naming the
// file and saying what an administrator should do. A player's own lock file made read-only is
// the player's to mend, and the message says so, blaming no other account.
AccountRow lockFileMadeReadOnly(const char *tag, bool ownFile, const QString &advice)
{
    const auto play = [ownFile, advice](AccountScene &s) {
        s.seams.write(records::lockFileName, QByteArray());
        const QByteArray lock = QFile::encodeName(s.seams.path(records::lockFileName));
        if (::chmod(lock, ownFile ? 0444 : 0644) != 0 ||
            (ownFile && ::chown(lock, s.other.uid(), s.other.gid()) != 0))
            return QStringList{QStringLiteral("the lock file could not be made read-only")};
        const auto [code, said] =
            faultrow::saveElsewhere({s.seams.dir(), QStringLiteral("B"), QStringLiteral("9"),
                                     QStringLiteral("1"), QStringLiteral("1")},
                                    &s.other);
        const bool refused =
            code == 2 && said.contains(records::lockFileName) && said.contains(advice) &&
            said.contains(QStringLiteral("un altro utente")) == !ownFile &&
            said.startsWith(QStringLiteral("Il tuo record non è stato registrato"));
        return refused ? QStringList{} : QStringList{QStringLiteral("said: ") + said};
    };
    return AccountRow(QStringLiteral("lock file made read-only ") + tag, 0777, play,
                      faultrow::oldPair);
}

} // namespace

Q_DECLARE_METATYPE(AccountRow)

void TestFaults::anotherAccountOfTheGroup_data()
{
    const AccountRow rows[] = {
        AccountRow(QStringLiteral("another account locks the record directory"), 0755,
                   strangerHoldsWhatItCan, faultrow::annasPair),
        lockFileMadeReadOnly("by another account", false, QStringLiteral("amministratore")),
        lockFileMadeReadOnly("the player's own, at 0444", true,
                             QStringLiteral("Cancella questo file"))};
    faultrow::addRows(rows, &AccountRow::name);
}

// A pupil of another account of the group, in a process of its own, meets the record directory
// of a home it may enter: it never holds the owner's games, and never saves past a lock it may
// not take.
void TestFaults::anotherAccountOfTheGroup()
{
    QFETCH(AccountRow, row);
    rivals::Account other("vorandi-altro");
    SKIP_WITHOUT(other, row.name);
    QTemporaryDir base;
    const QString dir = recordDirInOpenHome(base, row.dirMode);
    QVERIFY(!dir.isEmpty());
    AccountScene s(other, dir);
    writeOldPair(s.seams);
    const QStringList wrong = row.play(s);
    const bool kept = pairIn(s.seams) == row.kept;
    reliability::outcome("fault", row.name, QStringLiteral("second account"), wrong.isEmpty(),
                         kept ? 0 : 1, s.hung ? 1 : 0);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    QVERIFY(kept);
}

// Another game half-way through its save (its name in place, its score not yet) when this game
// reads the pair: the start waits for it and shows that game's pair whole.
void TestFaults::pairIsReadWholeWhileAnotherGameSaves()
{
    GameSeams seams;
    writeOldPair(seams);
    std::unique_ptr<rivals::GameHoldingTheLock> rival;
    std::atomic<int> attempts = 0;
    // The other game takes the lock right after this game's start created the files.
    seams.calls.flock = [&](int fd, int operation) {
        if (++attempts == 2) {
            rival = std::make_unique<rivals::GameHoldingTheLock>(seams.dir());
            seams.write(records::nameFileName, "Bruno\r\n");
            seams.write(records::scoreFileName + ".new", "9\r\n");
        }
        return records::systemFlock(fd, operation);
    };
    seams.wait.rounds.push_back([&] {
        QVERIFY(QFile::rename(seams.path(records::scoreFileName + ".new"),
                              seams.path(records::scoreFileName)) ||
                (QFile::remove(seams.path(records::scoreFileName)) &&
                 QFile::rename(seams.path(records::scoreFileName + ".new"),
                               seams.path(records::scoreFileName))));
        rival->letGo();
    });
    rivals::HangWatch watch([&] {
        if (rival)
            rival->letGo();
    });
    Tavola game(seams.services());
    seams.start(game);
    const bool hung = watch.stop();
    const bool whole = game.lblpunti->Caption() == QStringLiteral("9\r\n") &&
                       game.lblnome->Caption() == QStringLiteral("Bruno\r\n");
    reliability::outcome("fault", QStringLiteral("pair read while another game saves"),
                         QStringLiteral("lock file"), whole, 0, hung ? 1 : 0);
    QVERIFY(!hung);
    QVERIFY2(whole, qPrintable(game.lblpunti->Caption() + game.lblnome->Caption()));
}

void TestFaults::everyWayOutFromOutsideSaves_data()
{
    QTest::addColumn<QList<int>>("sent");  // sent 5 ms apart; none: the display goes away
    QTest::addColumn<bool>("leaving");     // the player left and the save waits for the lock
    QTest::addColumn<int>("freedAfterMs"); // the other game lets go; 0: no other game, -1: never
    const QList<int> display;
    for (const int sig : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE,
                          SIGPOLL, SIGPROF, SIGVTALRM, SIGXCPU, SIGSTKFLT, SIGPWR})
        QTest::addRow("SIG%s", sigabbrev_np(sig)) << QList<int>{sig} << false << 0;
    QTest::newRow("SIGRTMIN") << QList<int>{SIGRTMIN} << false << 0;
    QTest::newRow("SIGRTMIN+5") << QList<int>{SIGRTMIN + 5} << false << 0;
    QTest::newRow("SIGRTMAX") << QList<int>{SIGRTMAX} << false << 0;
    QTest::newRow("display connection broken") << display << false << 0;
    QTest::newRow("TERM then QUIT 5 ms later") << QList<int>{SIGTERM, SIGQUIT} << false << 0;
    QTest::newRow("TERM while the save waits, freed 0.5 s later")
        << QList<int>{SIGTERM} << true << 500;
    QTest::newRow("TERM while the save waits, freed 3 s later")
        << QList<int>{SIGTERM} << true << 3000;
    QTest::newRow("display gone while the save waits, freed 0.5 s later") << display << true << 500;
    QTest::newRow("TERM mid-game, the record held on") << QList<int>{SIGTERM} << false << -1;
    QTest::newRow("display gone mid-game, the record held on") << display << false << -1;
    QTest::newRow("TERM while the save waits, the record held on")
        << QList<int>{SIGTERM} << true << -1;
}

// A game in a process of its own, with a beaten record, ended from outside by any catchable
// signal or its display going away: mid-game, or while its save waits for another game's lock.
// The record is saved with no box once the lock is free, or kept aside when the other game holds
// on, and the next game puts it in place; the process ends by itself within a few seconds.
void TestFaults::everyWayOutFromOutsideSaves()
{
    QFETCH(QList<int>, sent);
    QFETCH(bool, leaving);
    QFETCH(int, freedAfterMs);
    const QString rowName = QStringLiteral("game ended by %1").arg(QTest::currentDataTag());
    QTemporaryDir dir;
    GameSeams seams(dir.path());
    writeOldPair(seams);
    faultrow::GameInAProcess play(dir.path(), leaving, sent.isEmpty());
    if (!play.game.waitForStarted() && sent.isEmpty()) {
        reliability::skipped(rowName, QStringLiteral("Xvfb killed"),
                             QStringLiteral("no Xvfb on this machine"));
        QSKIP("no Xvfb on this machine");
    }
    QVERIFY2(play.says("ready"), play.game.readAllStandardError().constData());
    std::optional<rivals::GameHoldingTheLock> rival;
    if (freedAfterMs != 0)
        rival.emplace(seams.dir());
    if (leaving) {
        play.game.write("\n");
        QVERIFY2(play.says("waiting"), play.game.readAllStandardError().constData());
    }
    for (const int sig : sent) {
        QCOMPARE(::kill(pid_t(play.game.processId()), sig), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (sent.isEmpty())
        play.display.kill();
    if (freedAfterMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(freedAfterMs));
        rival->letGo();
    }
    const bool ended = play.ends();
    bool kept = true;
    if (freedAfterMs < 0) {
        // Held on: the old pair stays, the record waits aside for the next game.
        kept = pairIn(seams) == faultrow::oldPair && keptRecords(dir.path()).size() == 1;
        rival.reset();
        records::createRecordFiles(dir.path() + u'\\', seams.recordServices());
    }
    const bool saved = pairIn(seams) == faultrow::annasPair && keptRecords(dir.path()).isEmpty();
    reliability::outcome("fault", rowName,
                         sent.isEmpty() ? QStringLiteral("Xvfb killed") : QStringLiteral("kill"),
                         ended && saved && kept, saved ? 0 : 1, ended ? 0 : 1);
    QVERIFY2(ended, "the game did not end");
    QVERIFY2(kept, play.game.readAllStandardError().constData());
    QVERIFY2(saved, play.game.readAllStandardError().constData());
    if (!sent.isEmpty())
        QCOMPARE(play.game.exitCode(), 0);
}

// The session's logout request saves a beaten record with no box on screen; the session then ends
// the program.
void TestFaults::logoutSavesWithoutABox()
{
    faultrow::Scene scene;
    auto &[seams, game] = scene;
    platform::runBeforeEveryWayOut([&game] { game.SilentRecordCheck(); });
    const bool connected = platform::sessionLogoutWatched();
    const qsizetype boxes = seams.dialogs.calls().size();
    platform::sessionEnding();
    platform::runBeforeEveryWayOut({});
    const bool saved = pairIn(seams) == faultrow::annasPair;
    const bool silent = seams.dialogs.calls().size() == boxes;
    reliability::outcome("fault", QStringLiteral("game ended by the session's logout"),
                         QStringLiteral("logout request"), connected && saved && silent,
                         saved ? 0 : 1);
    QVERIFY(connected);
    QVERIFY(saved);
    QVERIFY(silent);
}

namespace {

// Where the game looks for its record directory: XDG_DATA_HOME and HOME as a row sets them, %h
// standing for a fresh home and %a for the account's own (null: unset).
struct EnvRow {
    QString name; // in the figures
    QString how;
    QByteArray xdg;
    QByteArray home = "%h";
    QString found; // the directory the game makes and uses; empty: the start ends with a box
    QStringList said{};
    bool fileInTheWay = false; // a file at %h/file
    bool readOnlyHome = false; // %h on a disk mounted read-only
};

QByteArray accountHome()
{
    const passwd *account = ::getpwuid(::geteuid());
    return account ? QByteArray(account->pw_dir) : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(EnvRow)

void TestFaults::dataDirectoryFromTheEnvironment_data()
{
    const QString environment = QStringLiteral("environment");
    QByteArray deep = "%h";
    while (deep.size() < 5000)
        deep += '/' + QByteArray(199, 'a');
    const auto refused = [](const char *name, const QString &how, const QByteArray &xdg,
                            const QStringList &said) {
        return EnvRow{name, how, xdg, "%h", {}, said};
    };
    EnvRow rows[] = {
        EnvRow("data directory missing", "fresh account", "%h/a/b", "%h", "%h/a/b/vorandi"),
        refused("data directory cannot be created", "a file where the folder goes", "%h/file",
                {"Errore sulla cartella %h/file:", "non si può creare, al suo posto c'è un file"}),
        refused("read-only home", "tmpfs", {}, {"%h/.local:", "il disco è di sola lettura"}),
        refused("data directory with a byte that is not UTF-8", environment, "%h/caf\xe9",
                {"UTF-8"}),
        refused("data directory with 5,000 characters", environment, deep, {"troppo lungo"}),
        EnvRow("environment: a relative XDG_DATA_HOME is ignored", environment, "dati", "%h",
               "%h/.local/share/vorandi"),
        EnvRow("environment: HOME unset: the account's home", environment, {}, {},
               "%a/.local/share/vorandi")};
    rows[1].fileInTheWay = true;
    rows[2].readOnlyHome = true;
    faultrow::addRows(rows, &EnvRow::name);
}

// The record directory follows XDG_DATA_HOME when it is absolute, else HOME, else the account's
// home, and is made when missing; one the game cannot make or use ends the start with a box that
// names it, gives the real reason and fits a screen, and nothing else is made in its place.
void TestFaults::dataDirectoryFromTheEnvironment()
{
    QFETCH(EnvRow, row);
    Tmpfs disk;
    QTemporaryDir fresh;
    QString home = fresh.path();
    if (row.readOnlyHome && !disk.mounted()) {
        reliability::skipped(row.name, row.how, QStringLiteral("no private mount namespace"));
        QSKIP("no private mount namespace here");
    }
    if (row.readOnlyHome)
        home = disk.path();
    if (row.fileInTheWay) {
        QFile blocker(home + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    QVERIFY(!row.readOnlyHome || disk.remountReadOnly());
    const auto filled = [&home](QByteArray value) {
        return value.isNull()
                   ? value
                   : value.replace("%h", QFile::encodeName(home)).replace("%a", accountHome());
    };
    std::optional<ScopedEnv> xdg(std::in_place, "XDG_DATA_HOME", filled(row.xdg));
    std::optional<ScopedEnv> homeVar(std::in_place, "HOME", filled(row.home));
    if (!row.found.isEmpty()) {
        const QString expected = QFile::decodeName(filled(row.found.toUtf8()));
        const bool existed = QFileInfo::exists(expected);
        const QString dir = records::recordDirectory();
        homeVar.reset();
        xdg.reset();
        const bool right = dir == expected && QFileInfo(dir).isDir();
        if (!existed)
            QDir().rmdir(expected);
        reliability::outcome("fault", row.name, row.how, right, 0);
        QCOMPARE(dir, expected);
        QVERIFY(right);
        return;
    }
    GameSeams seams;
    const int code = startWithTheRealDirectory(seams);
    homeVar.reset();
    xdg.reset();
    QStringList said;
    for (const QString &piece : row.said)
        said << QString(piece).replace(QStringLiteral("%h"), home);
    const QString box = seams.dialogs.prompts().value(seams.dialogs.prompts().size() - 1);
    const bool told = code == 1 && faultrow::lastBoxSays(seams, said) && box.size() < 400;
    const QStringList made =
        QDir(home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const bool nothingElse = made == (row.fileInTheWay ? QStringList{"file"} : QStringList{});
    reliability::outcome("fault", row.name, row.how, told && nothingElse, 0);
    QVERIFY2(told, qPrintable(box.left(600)));
    QVERIFY2(nothingElse, qPrintable(made.join(u' ')));
}

// A record directory of 300 characters: the game starts, saves and reads the record back.
void TestFaults::recordDirectoryOf300Characters()
{
    QTemporaryDir base;
    QString dir = base.path();
    while (dir.size() < 300)
        dir += QStringLiteral("/cartella-dei-record");
    dir.truncate(300);
    QVERIFY(QDir().mkpath(dir));
    faultrow::Scene scene{faultrow::Scene::Beaten, dir};
    auto &[seams, game] = scene;
    const int code = leaveByExit(seams, game);
    Tavola next(seams.services());
    seams.start(next, QStringLiteral("Bruno"));
    const bool works = code == 0 && next.lblpunti->Caption() == QStringLiteral("4\r\n") &&
                       next.lblnome->Caption() == QStringLiteral("Anna\r\n");
    reliability::outcome("fault", QStringLiteral("record directory of 300 characters"),
                         QStringLiteral("long path"), works, works ? 0 : 1);
    QVERIFY(works);
}

namespace {

// What a start finds beside the old pair: what a cut-short save left, or what someone planted.
struct Found {
    GameSeams seams;
    QTemporaryDir elsewhere;
    std::optional<rivals::Account> other; // made for the rows that plant another account's file
    bool faultMade = true;                // a fault made while the game starts says when it came

    QString outside() const { return elsewhere.path() + QStringLiteral("/x"); }
    // A file elsewhere holding a score, for a link to point at.
    QByteArray scoreOutside() const
    {
        QFile f(outside());
        const bool written = f.open(QIODevice::WriteOnly) && f.write("99\r\n") == 4;
        return written ? QFile::encodeName(f.fileName()) : QByteArray();
    }
    QByteArray at(const QString &name) const { return QFile::encodeName(seams.path(name)); }
};

struct FoundRow {
    QString tag;
    QString figures; // the row's name in the figures, before its tag; empty: not reported there
    QString how;
    std::function<void(Found &)> plant;
    Pair shown = faultrow::oldPair; // on screen and on disk once the game has started
    QStringList left{};             // what stays beside the pair and the lock
    int savedCode = -1; // the exit's end code once Anna beats the record; -1: no save is played
};

const QString scoreNew = records::scoreFileName + QStringLiteral(".new");
const QString holderNew = records::nameFileName + QStringLiteral(".new");
const QString journal = QStringLiteral("vora.journal");
const Pair nuova{"9\r\n", "Nuova\r\n"};
const QByteArray nuovaKept = "9\r\nNuova\r\n";

// Planted at a ".new" name: the start removes it, or leaves it alone, and keeps the current pair;
// the next save then goes ahead.
FoundRow planted(const char *tag, const char *what, std::function<void(Found &)> plant)
{
    return FoundRow(tag, QStringLiteral("planted "), what, std::move(plant), faultrow::oldPair, {},
                    0);
}

// What no game writes, planted as a whole ".new" pair.
FoundRow plantedPair(const char *tag, const char *what, const QByteArray &score,
                     const QByteArray &holder = "Bruno\r\n")
{
    return planted(tag, what, [score, holder](Found &f) {
        f.seams.write(scoreNew, score);
        f.seams.write(holderNew, holder);
    });
}

// A record kept aside by a game that had to end; null: a link to such a file elsewhere.
FoundRow keptAside(const char *tag, const QByteArray &kept, const Pair &shown)
{
    const QString name = QStringLiteral("vora.kept-0123abcd");
    const auto plant = [kept, name](Found &f) {
        if (!kept.isNull())
            return f.seams.write(name, kept);
        QFile target(f.outside());
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write(nuovaKept));
        QVERIFY(QFile::link(target.fileName(), f.seams.path(name)));
    };
    return FoundRow(QStringLiteral("kept: ") + tag, {}, {}, plant, shown);
}

// Leftovers no save of this game left; names in capitals are no name a game uses, left alone.
FoundRow leftover(const char *tag, const QStringList &pending)
{
    const auto plant = [pending](Found &f) {
        for (const QString &name : pending)
            f.seams.write(name, name.contains(QStringLiteral("KEPT"))  ? nuovaKept
                                : name.contains(records::nameFileName) ? nuova.holder
                                                                       : nuova.score);
    };
    return FoundRow(tag, QStringLiteral("leftover: "), QStringLiteral("planted"), plant,
                    faultrow::oldPair, pending.filter(QStringLiteral("KEPT")));
}

// A save of 9 by "Nuova" killed after one of its renames, whatever stood at the name file's place
// when it began; a pair copied in by hand after the kill stays.
FoundRow killedSave(const QString &tag, const QString &before, int killedAfter, bool byHand)
{
    const Pair handsPair{"50\r\n", "Mano\r\n"};
    const auto plant = [=](Found &f) {
        const QString holder = f.seams.path(records::nameFileName);
        if (before != QStringLiteral("whole"))
            QVERIFY(QFile::remove(holder));
        if (before == QStringLiteral("link"))
            QVERIFY(QFile::link(f.outside(), holder));
        if (before == QStringLiteral("foreign")) {
            f.seams.write(records::nameFileName, oldHolder);
            QCOMPARE(::chown(f.at(records::nameFileName), f.other->uid(), f.other->gid()), 0);
            QCOMPARE(::chmod(f.at(records::nameFileName), 0666), 0);
        }
        killSaveAfterRename(f.seams, killedAfter);
        if (byHand) {
            f.seams.write(records::scoreFileName, handsPair.score);
            f.seams.write(records::nameFileName, handsPair.holder);
        }
    };
    return FoundRow(tag, QStringLiteral("save killed, "), QStringLiteral("killed at a step"), plant,
                    byHand ? handsPair : nuova);
}

// A group member swaps the journal of a save cut short for a link once the start has checked it:
// what is put in place is the content checked, never the object found there afterwards.
void journalSwappedAfterItsCheck(Found &f)
{
    killSaveAfterRename(f.seams, 1);
    f.faultMade = false;
    f.seams.calls.rename = [&f](const char *from, const char *to) {
        if (!std::exchange(f.faultMade, true)) {
            QFile::remove(f.seams.path(journal));
            QFile::link(f.outside(), f.seams.path(journal));
        }
        return records::systemRename(from, to);
    };
}

// Everything in the record directory beyond the pair and the lock.
QStringList besideThePair(const QString &dir)
{
    QStringList names =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &own :
         {records::scoreFileName, records::nameFileName, records::lockFileName})
        names.removeAll(own);
    return names;
}

} // namespace

Q_DECLARE_METATYPE(FoundRow)

void TestFaults::startKeepsOnePairWhateverItFinds_data()
{
    QList<FoundRow> rows{
        planted("pipe at vora.txt.new", "pipe",
                [](Found &f) { QCOMPARE(::mkfifo(f.at(scoreNew), 0666), 0); }),
        planted("link at vora.txt.new", "link",
                [](Found &f) { QCOMPARE(::symlink(f.scoreOutside(), f.at(scoreNew)), 0); }),
        planted("empty folder at vora.txt.new", "folder",
                [](Found &f) { QVERIFY(QDir().mkdir(f.seams.path(scoreNew))); }),
        plantedPair("no number in vora.txt.new", "words", "novantanove\r\n"),
        plantedPair("a fraction in vora.txt.new", "fraction", "99.5\r\n"),
        plantedPair("60 digits in vora.txt.new", "huge", QByteArray(60, '9') + "\r\n"),
        plantedPair("two lines in nvora.txt.new", "two lines", "99\r\n", "Bru\r\nno\r\n"),
        planted("a hard link at vora.txt.new", "hard link",
                [](Found &f) {
                    QCOMPARE(::link(f.scoreOutside(), f.at(scoreNew)), 0);
                    f.seams.write(holderNew, "Bruno\r\n");
                }),
        planted("another account's vora.txt.new", "foreign",
                [](Found &f) {
                    f.seams.write(scoreNew, "99\r\n");
                    QCOMPARE(::chown(f.at(scoreNew), f.other->uid(), f.other->gid()), 0);
                }),
        planted("link at nvora.txt.new beside a sound vora.txt.new", "link",
                [](Found &f) {
                    f.seams.write(scoreNew, "99\r\n");
                    QCOMPARE(::symlink(f.scoreOutside(), f.at(holderNew)), 0);
                }),
        // It stays in the way: the next save names it and keeps the old pair.
        FoundRow(
            "folder with files at vora.journal", QStringLiteral("planted "), "full folder",
            [](Found &f) {
                QVERIFY(QDir().mkdir(f.seams.path(journal)));
                f.seams.write(journal + QStringLiteral("/x"), "x");
            },
            faultrow::oldPair, {journal}, 1),
        keptAside("beats the record", nuovaKept, nuova),
        keptAside("a line break in the name", "6\r\nAnna\nBruno\r\n", {"6\r\n", "Anna Bruno\r\n"}),
        keptAside("CR LF in the name", "6\r\nAnna\r\nBruno\r\n", {"6\r\n", "Anna Bruno\r\n"}),
        keptAside("beaten meanwhile", "2\r\nNuova\r\n", faultrow::oldPair),
        keptAside("not what a game keeps", "99.5\r\nNuova\r\n", faultrow::oldPair),
        keptAside("a link", QByteArray(), faultrow::oldPair),
        leftover("a kept record's name in capitals", {"VORA.KEPT-000000AA"}),
        leftover("killed while writing", {".vora.txt-0a1b2c3d", ".nvora.txt-99887766"}),
        leftover("killed keeping a record aside", {".vora.kept-0a1b2c3d-99887766"}),
        leftover("a .new pair of an earlier version", {"nvora.txt.new", "vora.txt.new"}),
        leftover("a lone vora.txt.new beside nvora.txt.old", {"vora.txt.new", "nvora.txt.old"}),
        leftover("a lone vora.txt.new", {"vora.txt.new"}),
        killedSave("a pair copied in by hand after the kill", "whole", 1, true),
        killedSave("a pair copied in by hand, the save killed half-way", "whole", 2, true),
        FoundRow("journal swapped after its check", {}, {}, journalSwappedAfterItsCheck, nuova)};
    for (const char *before : {"whole", "missing", "link", "foreign"})
        for (const int step : {1, 2, 3})
            rows << killedSave(QStringLiteral("nvora.txt %1, killed after rename %2")
                                   .arg(QString::fromLatin1(before))
                                   .arg(step),
                               before, step, false);
    faultrow::addRows(rows, &FoundRow::tag);
}

// What a start finds beside the record is put in place only when a game wrote it whole and it
// still beats the record; anything else is removed, or left alone, and the game shows and keeps
// one whole pair, never one game's score with another's name; a save afterwards goes ahead, or
// names what stays in its way.
void TestFaults::startKeepsOnePairWhateverItFinds()
{
    QFETCH(FoundRow, row);
    const QString name = row.figures.isEmpty() ? QString() : row.figures + row.tag;
    Found f;
    // The rows that plant another account's file say "foreign".
    if (row.how == QStringLiteral("foreign") || row.tag.contains(QStringLiteral("foreign"))) {
        f.other.emplace("vorandi-altro");
        SKIP_WITHOUT(*f.other, name);
    }
    writeOldPair(f.seams);
    row.plant(f);
    if (QTest::currentTestFailed())
        return;
    Tavola game(f.seams.services());
    f.seams.start(game);
    const bool shown = pairIn(f.seams) == row.shown &&
                       toCp1252(game.lblpunti->Caption()) == row.shown.score &&
                       toCp1252(game.lblnome->Caption()) == row.shown.holder;
    QStringList left = besideThePair(f.seams.dir());
    bool saved = true;
    if (row.savedCode >= 0) {
        beatTheRecord(game);
        const int code = leaveByExit(f.seams, game);
        saved = code == row.savedCode &&
                pairIn(f.seams) == (code == 0 ? faultrow::annasPair : faultrow::oldPair) &&
                (code == 0 || saidWhy(f.seams, row.left.value(0), QStringLiteral("cartella")));
    }
    const Pair kept = row.savedCode == 0 ? faultrow::annasPair : row.shown;
    if (!name.isEmpty())
        reliability::outcome("fault", name, row.how, shown && left == row.left && saved,
                             pairIn(f.seams) == kept ? 0 : 1);
    QVERIFY(f.faultMade);
    QVERIFY2(shown, qPrintable(game.lblpunti->Caption() + game.lblnome->Caption()));
    QCOMPARE(left, row.left);
    QVERIFY2(saved, qPrintable(f.seams.dialogs.prompts().join(u'|')));
}

// A child process saves records in a loop and is killed with SIGKILL at a random moment, again
// and again. What the next game would read must always be a pair that one save wrote whole.
void TestFaults::killedSavesLeaveACompletePair()
{
    QTemporaryDir dir;
    const int kills = 300;
    int complete = 0;
    int lost = 0;
    int lastScore = 0;
    int saves = 0;
    QStringList problems;
    for (int i = 0; i < kills; ++i) {
        QProcess saver;
        saver.start(QStringLiteral(RECORD_SAVER),
                    {dir.path(), QStringLiteral("--until-killed"), QString::number(lastScore + 1)});
        QVERIFY(saver.waitForStarted());
        QVERIFY(saver.waitForReadyRead(30000));
        const int delay = QRandomGenerator::global()->bounded(0, 20000);
        std::this_thread::sleep_for(std::chrono::microseconds(delay)); // the random moment
        saver.kill();
        QVERIFY(saver.waitForFinished(30000));
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        // The next game's own start: create what is missing, then read both files.
        const QString windowsDir = dir.path() + u'\\';
        records::createRecordFiles(windowsDir, records::silently(records::realSystemCalls()));
        const QString score = records::readWholeFile(windowsDir + records::scoreFileName);
        const QString holder = records::readWholeFile(windowsDir + records::nameFileName);
        const int n = int(Val(score));
        const bool whole =
            (score.isEmpty() && holder.isEmpty() && lastScore == 0) ||
            (score == QString::number(n) + QStringLiteral("\r\n") &&
             holder == saverecordname::nameFor(n) + QStringLiteral("\r\n") && n >= lastScore);
        if (whole) {
            ++complete;
            saves += n - lastScore;
            lastScore = n;
        } else {
            ++lost;
            problems << QStringLiteral("kill %1: %2 / %3").arg(i).arg(score, holder);
            lastScore = std::max(lastScore, n);
        }
    }
    const int left = int(faultrow::leftovers(dir.path()).size());
    reliability::record({{QStringLiteral("kind"), QStringLiteral("kill")},
                         {QStringLiteral("kills"), kills},
                         {QStringLiteral("complete"), complete},
                         {QStringLiteral("lost"), lost},
                         {QStringLiteral("saves"), saves},
                         {QStringLiteral("leftovers"), left}});
    QVERIFY2(lost == 0, qPrintable(problems.join(u'\n')));
    QVERIFY(saves > 0); // the kills did not all land before the first save
}

int main(int argc, char *argv[])
{
    // Before Qt starts any thread: mounts made by the test stay private to it.
    scratchdisk::enterPrivateNamespace();
    QApplication app(argc, argv);
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
