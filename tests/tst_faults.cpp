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
    void dataDirectoryIsCreatedWhenMissing();
    void dataDirectoryCannotBeCreated();
    void oldNameThatCannotGoBackIsSaidSo();
    void plantedNewFilesNeverReplaceTheRecord_data();
    void plantedNewFilesNeverReplaceTheRecord();
    void lockHeldByAnotherGame_data();
    void lockHeldByAnotherGame();
    void questionLeftOpenStopsNoOtherGame();
    void accountThatMayNotWriteCannotHoldTheGame();
    void lockFileMadeReadOnly_data();
    void lockFileMadeReadOnly();
    void pairIsReadWholeWhileAnotherGameSaves();
    void everyWayOutFromOutsideSaves_data();
    void everyWayOutFromOutsideSaves();
    void logoutSavesWithoutABox();
    void logoutWhileThePlayerIsAskedUsesThatWait();
    void dataDirectoryFromTheEnvironment_data();
    void dataDirectoryFromTheEnvironment();
    void readOnlyHome();
    void unusableDataDirectory_data();
    void unusableDataDirectory();
    void recordDirectoryOf300Characters();
    void leftoverSwappedAfterItsCheck();
    void keptRecordIsPutInPlaceWhenItStillBeats_data();
    void keptRecordIsPutInPlaceWhenItStillBeats();
    void leftoversNeverReplaceTheRecord_data();
    void leftoversNeverReplaceTheRecord();
    void killedSaveLeavesOnePairOrTheOther_data();
    void killedSaveLeavesOnePairOrTheOther();
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
    return {QStringLiteral("read-only disk %1").arg(atStart ? "at the start" : "at the save"),
            how,
            how == QStringLiteral("tmpfs") ? Disk::Tmpfs : Disk::Private,
            atStart,
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
            byPermissions && atStart ? -1 : 1,
            said};
}

Row fullDisk(const QString &how)
{
    return {QStringLiteral("full disk at the save"),
            how,
            how == QStringLiteral("tmpfs") ? Disk::Tmpfs : Disk::Private,
            false,
            [how](World &w) {
                if (how == QStringLiteral("tmpfs"))
                    return w.tmpfs.fill() ? QString() : withoutPrivateMounts(w);
                w.injected = std::make_unique<InjectedFailure>(w.dir, ENOSPC);
                return QString();
            },
            1,
            {records::scoreFileName, QStringLiteral("il disco è pieno"), notSaved}};
}

// The other file keeps the old half of the pair and nothing of the save waits beside it: the save
// did not go ahead with one file.
Row replacedByDirectory(const QString &file, bool atStart)
{
    return {QStringLiteral("%1 replaced by a directory %2")
                .arg(file, atStart ? "at the start" : "during the game"),
            QStringLiteral("mkdir"),
            Disk::Private,
            atStart,
            [file](World &w) {
                const bool made =
                    QFile::remove(w.seams.path(file)) && QDir().mkdir(w.seams.path(file));
                return made ? QString() : QStringLiteral("the file could not be replaced");
            },
            1,
            {file, QStringLiteral("al suo posto c'è una cartella")},
            [file](World &w) {
                const bool score = file == records::scoreFileName;
                const QString other = score ? records::nameFileName : records::scoreFileName;
                return w.seams.bytes(other) == (score ? oldHolder : oldScore) &&
                       QFileInfo(w.seams.path(file)).isDir() &&
                       !QFileInfo::exists(w.seams.path(records::scoreFileName + ".new")) &&
                       !QFileInfo::exists(w.seams.path(records::nameFileName + ".new"));
            }};
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
    return {QStringLiteral("score file cannot be replaced at the save"),
            QStringLiteral("immutable"),
            Disk::Private,
            false,
            [](World &w) {
                const QString score = w.seams.path(records::scoreFileName);
                return QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), score}) ==
                               0
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
            }};
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
    return {QStringLiteral("record file is a link: %1 %2 %3")
                .arg(file, what, atStart ? "at the start" : "during the game"),
            QStringLiteral("symlink"),
            Disk::Private,
            atStart,
            plant,
            atStart ? 1 : 0,
            atStart ? QStringList{file, QStringLiteral("collegamento simbolico")} : QStringList{},
            intact};
}

// A second name for another pupil's private file, made where hard links are not protected (the
// group may write the folder): the start names it and ends, and the file is neither widened to
// the group nor shown.
Row hardLinkAt(const QString &file)
{
    return {QStringLiteral("%1 is a hard link").arg(file),
            QStringLiteral("hard link"),
            Disk::Private,
            true,
            [file](World &w) {
                const QString diary = writeDiary(w);
                QFile::remove(w.seams.path(file));
                const bool made =
                    !diary.isEmpty() && ::chmod(QFile::encodeName(w.dir), 0770) == 0 &&
                    ::link(QFile::encodeName(diary), QFile::encodeName(w.seams.path(file))) == 0;
                return made ? QString() : QStringLiteral("the hard link could not be made");
            },
            1,
            {file, QStringLiteral("collegamento fisso")},
            faultrow::diaryUntouched};
}
} // namespace

void TestFaults::directoryFaultIsToldAndKeepsThePair_data()
{
    QTest::addColumn<Row>("row");
    QTest::newRow("directory missing at the start")
        << Row{QStringLiteral("record directory missing at the start"),
               QStringLiteral("directory removed"),
               Disk::Private,
               true,
               removeTheDirectory,
               1,
               {records::scoreFileName, noFile},
               directoryStaysAway};
    QTest::newRow("directory removed during the game")
        << Row{QStringLiteral("record directory removed during the game"),
               QStringLiteral("directory removed"),
               Disk::Private,
               false,
               removeTheDirectory,
               1,
               {QStringLiteral("record"), noFile},
               directoryStaysAway};
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

void TestFaults::dataDirectoryIsCreatedWhenMissing()
{
    QTemporaryDir home;
    const ScopedEnv xdg("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/a/b")));
    const QString dir = records::recordDirectory();
    const bool made = QFileInfo(dir).isDir() && dir.endsWith(QStringLiteral("/a/b/vorandi"));
    reliability::outcome("fault", QStringLiteral("data directory missing"),
                         QStringLiteral("fresh account"), made, 0);
    QVERIFY2(made, qPrintable(dir));
}

void TestFaults::dataDirectoryCannotBeCreated()
{
    QTemporaryDir home;
    QFile blocker(home.path() + QStringLiteral("/file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const ScopedEnv xdg("XDG_DATA_HOME", QFile::encodeName(blocker.fileName()));
    GameSeams seams;
    const int code = startWithTheRealDirectory(seams);
    // The message names the folder that cannot be made, and the file standing in its place.
    const bool told =
        saidWhy(seams, QStringLiteral("Errore sulla cartella ") + blocker.fileName() + u':',
                QStringLiteral("non si può creare, al suo posto c'è un file"));
    reliability::outcome("fault", QStringLiteral("data directory cannot be created"),
                         QStringLiteral("a file where the folder goes"), code == 1 && told, 0);
    QCOMPARE(code, 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
}

// The score file cannot follow the new name, and the old name cannot go back either: the box says
// that the save is only half done and that the next game completes it, which it does.
void TestFaults::oldNameThatCannotGoBackIsSaidSo()
{
    GameSeams seams;
    writeOldPair(seams);
    Tavola game(seams.services());
    seams.start(game);
    beatTheRecord(game);
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

void TestFaults::plantedNewFilesNeverReplaceTheRecord_data()
{
    QTest::addColumn<QString>("planted"); // the name it lies at
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("staysInTheWay"); // the next save must name it and keep the old pair
    const QString score = records::scoreFileName + QStringLiteral(".new");
    const QString holder = records::nameFileName + QStringLiteral(".new");
    QTest::newRow("pipe at vora.txt.new") << score << "pipe" << false;
    QTest::newRow("link at vora.txt.new") << score << "link" << false;
    QTest::newRow("empty folder at vora.txt.new") << score << "folder" << false;
    QTest::newRow("no number in vora.txt.new") << score << "words" << false;
    QTest::newRow("a fraction in vora.txt.new") << score << "fraction" << false;
    QTest::newRow("60 digits in vora.txt.new") << score << "huge" << false;
    QTest::newRow("two lines in nvora.txt.new") << score << "two lines" << false;
    QTest::newRow("a hard link at vora.txt.new") << score << "hard link" << false;
    QTest::newRow("another account's vora.txt.new") << score << "foreign" << false;
    QTest::newRow("link at nvora.txt.new beside a sound vora.txt.new") << holder << "link" << false;
    QTest::newRow("folder with files at vora.journal") << "vora.journal"
                                                       << "full folder" << true;
}

// What no game writes, planted as a whole ".new" pair.
const std::map<QString, std::pair<QByteArray, QByteArray>> plantedPairs = {
    {QStringLiteral("words"), {"novantanove\r\n", "Bruno\r\n"}},
    {QStringLiteral("fraction"), {"99.5\r\n", "Bruno\r\n"}},
    {QStringLiteral("huge"), {QByteArray(60, '9') + "\r\n", "Bruno\r\n"}},
    {QStringLiteral("two lines"), {"99\r\n", "Bru\r\nno\r\n"}},
};

// The start-up repair moves a ".new" file in place only when a game could have written it;
// anything else planted there is removed, or left alone, and the current pair stays.
void TestFaults::plantedNewFilesNeverReplaceTheRecord()
{
    QFETCH(QString, planted);
    QFETCH(QString, what);
    QFETCH(bool, staysInTheWay);
    const QString holder = records::nameFileName + QStringLiteral(".new");
    const QString rowName = QStringLiteral("planted %1").arg(QTest::currentDataTag());
    std::optional<rivals::Account> other;
    if (what == QStringLiteral("foreign")) {
        other.emplace("vorandi-altro");
        if (!other->ok()) {
            reliability::skipped(rowName, what, other->why());
            QSKIP(qPrintable(other->why()));
        }
    }
    GameSeams seams;
    writeOldPair(seams);
    QTemporaryDir elsewhere;
    const QString path = seams.path(planted);
    const QByteArray name = QFile::encodeName(path);
    if (planted == holder)
        seams.write(records::scoreFileName + QStringLiteral(".new"), "99\r\n");
    if (what == QStringLiteral("pipe")) {
        QCOMPARE(::mkfifo(name, 0666), 0);
    } else if (what == QStringLiteral("link")) {
        const QString target = elsewhere.path() + QStringLiteral("/x");
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("99\r\n");
        QVERIFY(QFile::link(target, path));
    } else if (what == QStringLiteral("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else if (what == QStringLiteral("full folder")) {
        QVERIFY(QDir().mkdir(path));
        seams.write(planted + QStringLiteral("/x"), "x");
    } else if (what == QStringLiteral("hard link")) {
        const QString target = elsewhere.path() + QStringLiteral("/x");
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("99\r\n");
        QCOMPARE(::link(QFile::encodeName(target), name), 0);
        seams.write(records::nameFileName + QStringLiteral(".new"), "Bruno\r\n");
    } else if (const auto pair = plantedPairs.find(what); pair != plantedPairs.end()) {
        seams.write(planted, pair->second.first);
        seams.write(records::nameFileName + QStringLiteral(".new"), pair->second.second);
    } else {
        seams.write(planted, "99\r\n");
        QCOMPARE(::chown(name, other->uid(), other->gid()), 0);
    }
    Tavola game(seams.services());
    seams.start(game);
    const bool keptAtStart = game.lblpunti->Caption() == QStringLiteral("3\r\n") &&
                             game.lblnome->Caption() == QStringLiteral("Vecchio campione\r\n") &&
                             pairIn(seams) == faultrow::oldPair;
    const bool cleared =
        staysInTheWay || (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink());
    beatTheRecord(game);
    const int code = leaveByExit(seams, game);
    bool saved = code == 0 && pairIn(seams) == faultrow::annasPair;
    if (staysInTheWay)
        saved = code == 1 && saidWhy(seams, planted, QStringLiteral("cartella")) &&
                pairIn(seams) == faultrow::oldPair;
    reliability::outcome("fault", rowName, what, keptAtStart && cleared && saved,
                         keptAtStart && (saved || staysInTheWay) ? 0 : 1);
    QVERIFY(keptAtStart);
    QVERIFY(cleared);
    QVERIFY2(saved, qPrintable(seams.dialogs.prompts().join(u'|')));
}

void TestFaults::lockHeldByAnotherGame_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<int>("freedInRound");   // 0: never, -1: while the player is asked
    QTest::addColumn<QList<int>>("answers"); // to "shall I wait more?"
    QTest::addColumn<bool>("goesOn");        // the game starts, or the record is saved
    QTest::newRow("at the start, freed while waiting") << true << 1 << QList<int>{} << true;
    QTest::newRow("at the start, the player stops waiting")
        << true << 0 << QList<int>{vbNo} << false;
    QTest::newRow("at the save, freed while waiting") << false << 1 << QList<int>{} << true;
    QTest::newRow("at the save, freed after the player chose to wait more")
        << false << 2 << QList<int>{vbYes} << true;
    QTest::newRow("at the save, the player gives up") << false << 0 << QList<int>{vbNo} << false;
    QTest::newRow("at the save, freed while the player is asked, who answers No")
        << false << -1 << QList<int>{vbNo} << true;
}

// A game that finds the record's lock held says so on screen while it waits, asks before giving
// up, and gives up only with a message naming the lock file; it never waits silently.
void TestFaults::lockHeldByAnotherGame()
{
    QFETCH(bool, atStart);
    QFETCH(int, freedInRound);
    QFETCH(QList<int>, answers);
    QFETCH(bool, goesOn);
    GameSeams seams;
    writeOldPair(seams);
    Tavola game(seams.services());
    if (!atStart) {
        seams.start(game);
        beatTheRecord(game);
    }
    rivals::GameHoldingTheLock rival(seams.dir());
    QVERIFY(rival.held());
    for (int round = 1; round <= 3; ++round)
        seams.wait.rounds.push_back([&rival, round, freedInRound] {
            if (round == freedInRound)
                rival.letGo();
        });
    rivals::HangWatch watch([&rival] { rival.letGo(); });
    int code = -1;
    try {
        if (atStart) {
            seams.dialogs.type(QStringLiteral("Anna"));
            seams.dialogs.answer(vbOK);
        } else {
            seams.dialogs.answer(vbYes);
        }
        for (const int a : answers) // -1: the other game lets go while the question is asked
            seams.dialogs.answer(a, [&rival, freedInRound](const ScriptedDialogs::Call &) {
                if (freedInRound < 0)
                    rival.letGo();
            });
        if (atStart)
            game.Show();
        else
            game.runEvent([&game] { game.cmdExit_Click(); });
    } catch (const ProgramEnded &end) {
        code = end.code;
    }
    const bool hung = watch.stop();
    // The start's wait speaks of the start, the save's of the save.
    const bool toldWhileWaiting =
        !seams.wait.messages.isEmpty() &&
        seams.wait.messages.first().startsWith(QStringLiteral("Un'altra partita di Vorandi")) &&
        seams.wait.messages.first().contains(QStringLiteral("La partita comincia")) == atStart &&
        seams.wait.messages.first().contains(QStringLiteral("registrato")) == !atStart;
    bool asExpected = false;
    if (atStart && goesOn)
        asExpected = code == -1 && game.isLoaded() && game.lblpunti->Caption() == "3\r\n";
    else if (!atStart && goesOn)
        asExpected = code == 0 && pairIn(seams) == faultrow::annasPair &&
                     seams.dialogs.prompts().last().startsWith(QStringLiteral("Ok ho registrato"));
    else // the player's own choice, and the folder, never the hidden lock file
        asExpected = code == 1 &&
                     saidWhy(seams, QDir::toNativeSeparators(seams.dir()),
                             QStringLiteral("hai scelto di non aspettare")) &&
                     !seams.dialogs.prompts().join(u'|').contains(records::lockFileName) &&
                     (atStart || saidWhy(seams, seams.dir(),
                                         QStringLiteral("Il tuo record non è stato registrato")));
    const bool lost = (goesOn && !atStart && pairIn(seams) != faultrow::annasPair) ||
                      (pairIn(seams) != faultrow::oldPair && pairIn(seams) != faultrow::annasPair);
    reliability::outcome(
        "fault", QStringLiteral("record lock held by another game %1").arg(QTest::currentDataTag()),
        QStringLiteral("lock file"), asExpected && toldWhileWaiting, lost ? 1 : 0, hung ? 1 : 0);
    QVERIFY(!hung);
    QVERIFY(toldWhileWaiting);
    QVERIFY2(asExpected, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(!lost);
}

// A save waits for the lock and asks whether to wait more; the other game lets go while the
// question is open, and nobody answers it: another game starts and saves meanwhile, as if nobody
// were waiting.
void TestFaults::questionLeftOpenStopsNoOtherGame()
{
    GameSeams seams;
    writeOldPair(seams);
    Tavola game(seams.services());
    seams.start(game);
    beatTheRecord(game);
    rivals::GameHoldingTheLock rival(seams.dir());
    QVERIFY(rival.held());
    seams.wait.rounds.push_back([] {}); // the first wait ends with the lock still held
    rivals::HangWatch watch([&rival] { rival.letGo(); });
    Pair duringTheQuestion;
    QStringList keptMeanwhile;
    seams.dialogs.answer(vbYes);
    seams.dialogs.answer(vbYes, [&](const ScriptedDialogs::Call &) {
        rival.letGo();
        QProcess other; // windowless: it keeps its record aside if it cannot have the lock
        other.start(QStringLiteral(RECORD_SAVER),
                    {seams.dir(), QStringLiteral("Zeta"), QStringLiteral("20"), QStringLiteral("1"),
                     QStringLiteral("1"), QStringLiteral("--create")});
        other.waitForFinished(60000);
        duringTheQuestion = pairIn(seams);
        keptMeanwhile = QDir(seams.dir()).entryList({QStringLiteral("vora.kept-*")}, QDir::Files);
    });
    int code = -1;
    try {
        game.runEvent([&game] { game.cmdExit_Click(); });
    } catch (const ProgramEnded &end) {
        code = end.code;
    }
    const bool hung = watch.stop();
    const bool savedMeanwhile =
        duringTheQuestion == Pair{"20\r\n", "Zeta-20\r\n"} && keptMeanwhile.isEmpty();
    reliability::outcome("fault", QStringLiteral("a question left open while another game saves"),
                         QStringLiteral("lock file"), savedMeanwhile && code == 0,
                         pairIn(seams) == Pair{"20\r\n", "Zeta-20\r\n"} ? 0 : 1, hung ? 1 : 0);
    QVERIFY(!hung);
    QVERIFY2(savedMeanwhile, qPrintable(duringTheQuestion.score + '/' + keptMeanwhile.join(u' ')));
    QCOMPARE(code, 0);
}

// A pupil of another account can read the record directory (a home directory at 755) and lock
// it, but cannot open the record's lock file at all: the games of the account that owns the
// record go on as if nobody were there.
void TestFaults::accountThatMayNotWriteCannotHoldTheGame()
{
    const QString rowName = QStringLiteral("another account locks the record directory");
    rivals::Account other("vorandi-altro");
    SKIP_WITHOUT(other, rowName);
    QTemporaryDir base;
    const QString dir = recordDirInOpenHome(base, 0755);
    QVERIFY(!dir.isEmpty());
    GameSeams seams(dir);
    writeOldPair(seams);
    Tavola game(seams.services());
    seams.start(game);
    beatTheRecord(game);
    int toChild[2];
    int fromChild[2];
    QVERIFY(::pipe(toChild) == 0 && ::pipe(fromChild) == 0);
    const QByteArray dirName = QFile::encodeName(dir);
    const QByteArray lockName = QFile::encodeName(seams.path(records::lockFileName));
    const pid_t child = ::fork();
    if (child == 0) {
        // The other account: lock the directory itself, which any account that may read it can
        // do, then try the lock file in every way that could hold it.
        ::close(toChild[1]);
        ::close(fromChild[0]);
        int report = other.become() ? 0 : 4;
        const int d = ::open(dirName.constData(), O_RDONLY | O_DIRECTORY);
        if (d >= 0 && ::flock(d, LOCK_EX) == 0)
            report |= 1;
        for (const int flags : {O_WRONLY | O_CREAT, O_RDONLY, O_RDWR}) {
            const int f = ::open(lockName.constData(), flags, 0666);
            struct flock whole {};
            whole.l_type = flags == O_RDONLY ? F_RDLCK : F_WRLCK;
            if (f >= 0 && ::fcntl(f, F_OFD_SETLK, &whole) == 0)
                report |= 2;
        }
        (void)!::write(fromChild[1], &report, sizeof report);
        char byte;
        (void)!::read(toChild[0], &byte, 1); // holds everything until the game is over
        ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    int report = 4;
    QCOMPARE(::read(fromChild[0], &report, sizeof report), ssize_t(sizeof report));
    rivals::HangWatch watch([child] { ::kill(child, SIGKILL); });
    const int code = leaveByExit(seams, game);
    const bool hung = watch.stop();
    ::close(toChild[1]);
    ::close(fromChild[0]);
    ::waitpid(child, nullptr, 0);
    const bool saved = code == 0 && pairIn(seams) == faultrow::annasPair;
    reliability::outcome("fault", rowName, QStringLiteral("second account"),
                         saved && seams.wait.messages.isEmpty(), saved ? 0 : 1, hung ? 1 : 0);
    QCOMPARE(report & 4, 0);
    QVERIFY2(report & 1, "the other account could not even lock the directory");
    QVERIFY2(!(report & 2), "the other account took the record's lock");
    QVERIFY(!hung);
    QVERIFY(seams.wait.messages.isEmpty());
    QVERIFY(saved);
}

void TestFaults::lockFileMadeReadOnly_data()
{
    addColumns<bool, QString>({"ownFile", "advice"});
    QTest::newRow("by another account") << false << "amministratore";
    QTest::newRow("the player's own, at 0444") << true << "Cancella questo file";
}

// The first player to save owns the lock file; taking its write permission away must not switch
// the lock off for the other accounts of the group: their save stops with a message naming the
// file and saying what an administrator should do. A player's own lock file made read-only is
// the player's to mend, and the message says so, blaming no other account.
void TestFaults::lockFileMadeReadOnly()
{
    QFETCH(bool, ownFile);
    QFETCH(QString, advice);
    const QString rowName =
        QStringLiteral("lock file made read-only %1").arg(QTest::currentDataTag());
    rivals::Account player("vorandi-altro");
    SKIP_WITHOUT(player, rowName);
    QTemporaryDir base;
    const QString dir = recordDirInOpenHome(base, 0777);
    QVERIFY(!dir.isEmpty());
    GameSeams seams(dir);
    writeOldPair(seams);
    seams.write(records::lockFileName, QByteArray());
    const QByteArray lockName = QFile::encodeName(seams.path(records::lockFileName));
    QCOMPARE(::chmod(lockName, ownFile ? 0444 : 0644), 0);
    if (ownFile)
        QCOMPARE(::chown(lockName, player.uid(), player.gid()), 0);
    QProcess saver;
    saver.setChildProcessModifier([&player] {
        if (!player.become())
            ::_exit(99);
    });
    saver.start(QStringLiteral(RECORD_SAVER), {dir, QStringLiteral("B"), QStringLiteral("9"),
                                               QStringLiteral("1"), QStringLiteral("1")});
    QVERIFY(saver.waitForFinished(30000));
    const QString said = QString::fromUtf8(saver.readAllStandardOutput());
    const bool refused = saver.exitCode() == 2 && said.contains(records::lockFileName) &&
                         said.contains(advice) &&
                         said.contains(QStringLiteral("un altro utente")) == !ownFile &&
                         said.startsWith(QStringLiteral("Il tuo record non è stato registrato"));
    const bool intact = pairIn(seams) == faultrow::oldPair;
    reliability::outcome("fault", rowName, QStringLiteral("second account"), refused,
                         intact ? 0 : 1);
    QVERIFY2(refused, qPrintable(said));
    QVERIFY(intact);
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

namespace {

// A display of its own for a game, to be killed: null when there is no Xvfb here.
std::unique_ptr<QProcess> startDisplay(QProcessEnvironment &env)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return nullptr;
    auto display = std::make_unique<QProcess>();
    display->start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!display->waitForReadyRead(30000))
        return nullptr;
    env.insert(QStringLiteral("DISPLAY"), u':' + QString::fromLatin1(display->readAll().trimmed()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return display;
}

bool readLine(QProcess &game, const QByteArray &line)
{
    while (!game.canReadLine())
        if (!game.waitForReadyRead(30000))
            return false;
    return game.readLine().trimmed() == line;
}

QStringList keptRecords(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("vora.kept-*")}, QDir::Files);
}

} // namespace

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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<QProcess> display;
    if (sent.isEmpty() && !(display = startDisplay(env))) {
        reliability::skipped(rowName, QStringLiteral("Xvfb killed"),
                             QStringLiteral("no Xvfb on this machine"));
        QSKIP("no Xvfb on this machine");
    }
    std::optional<rivals::GameHoldingTheLock> rival;
    QProcess game;
    game.setProcessEnvironment(env);
    QStringList arguments{dir.path()};
    if (leaving)
        arguments << QStringLiteral("--leave");
    game.start(QStringLiteral(GAME_IN_A_PROCESS), arguments);
    QVERIFY(game.waitForStarted());
    QVERIFY2(readLine(game, "ready"), game.readAllStandardError().constData());
    if (freedAfterMs != 0)
        rival.emplace(seams.dir());
    if (leaving) {
        game.write("\n");
        QVERIFY2(readLine(game, "waiting"), game.readAllStandardError().constData());
    }
    for (const int sig : sent) {
        QCOMPARE(::kill(pid_t(game.processId()), sig), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (sent.isEmpty())
        display->kill();
    if (freedAfterMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(freedAfterMs));
        rival->letGo();
    }
    const bool ended = game.waitForFinished(15000);
    if (!ended) {
        game.kill();
        game.waitForFinished();
    }
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
    QVERIFY2(kept, game.readAllStandardError().constData());
    QVERIFY2(saved, game.readAllStandardError().constData());
    if (!sent.isEmpty())
        QCOMPARE(game.exitCode(), 0);
    if (display) {
        display->kill();
        display->waitForFinished();
    }
}

// The session's logout request saves a beaten record with no box on screen; the session then ends
// the program.
void TestFaults::logoutSavesWithoutABox()
{
    GameSeams seams;
    writeOldPair(seams);
    Tavola game(seams.services());
    seams.start(game);
    beatTheRecord(game);
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

// The session ends while "Record occupato" is on screen and the other game lets go: the record
// check of the logout takes the lock through the wait already in progress, not a second request
// that the first would beat.
void TestFaults::logoutWhileThePlayerIsAskedUsesThatWait()
{
    GameSeams seams;
    writeOldPair(seams);
    Tavola game(seams.services());
    seams.start(game);
    beatTheRecord(game);
    platform::runBeforeEveryWayOut([&game] { game.SilentRecordCheck(); });
    rivals::GameHoldingTheLock rival(seams.dir());
    rivals::HangWatch watch([&rival] { rival.letGo(); });
    Pair duringTheQuestion;
    seams.dialogs.answer(vbYes);
    seams.dialogs.answer(vbNo, [&](const ScriptedDialogs::Call &) {
        rival.letGo();
        platform::sessionEnding();
        duringTheQuestion = pairIn(seams);
    });
    int code = -1;
    try {
        game.runEvent([&game] { game.cmdExit_Click(); });
    } catch (const ProgramEnded &end) {
        code = end.code;
    }
    platform::runBeforeEveryWayOut({});
    const bool hung = watch.stop();
    const bool saved = duringTheQuestion == faultrow::annasPair && code == 0;
    reliability::outcome("fault", QStringLiteral("logout while the player is asked to wait more"),
                         QStringLiteral("lock file"), saved, saved ? 0 : 1, hung ? 1 : 0);
    QVERIFY(!hung);
    QVERIFY2(saved, qPrintable(seams.dialogs.prompts().join(u'|')));
}

void TestFaults::dataDirectoryFromTheEnvironment_data()
{
    QTest::addColumn<QByteArray>("xdg"); // null: unset
    QTest::addColumn<bool>("homeSet");
    QTest::newRow("a relative XDG_DATA_HOME is ignored") << QByteArray("dati") << true;
    QTest::newRow("HOME unset: the account's home") << QByteArray() << false;
}

void TestFaults::dataDirectoryFromTheEnvironment()
{
    QFETCH(QByteArray, xdg);
    QFETCH(bool, homeSet);
    QTemporaryDir home;
    const passwd *account = ::getpwuid(::geteuid());
    const QString accountHome = account ? QFile::decodeName(account->pw_dir) : QString();
    const QString expected =
        (homeSet ? home.path() : accountHome) + QStringLiteral("/.local/share/vorandi");
    const bool existed = QFileInfo::exists(expected);
    std::optional<ScopedEnv> xdgSet, homeSetTo;
    xdgSet.emplace("XDG_DATA_HOME", xdg);
    homeSetTo.emplace("HOME", homeSet ? QFile::encodeName(home.path()) : QByteArray());
    const QString dir = records::recordDirectory();
    homeSetTo.reset();
    xdgSet.reset();
    const bool right = dir == expected && QFileInfo(dir).isDir();
    if (!existed)
        QDir().rmdir(expected);
    reliability::outcome("fault", QStringLiteral("environment: %1").arg(QTest::currentDataTag()),
                         QStringLiteral("environment"), right, 0);
    QCOMPARE(dir, expected);
}

// A home where nothing can be made: the message names the folder that could not be made and
// gives the real reason.
void TestFaults::readOnlyHome()
{
    Tmpfs disk;
    if (!disk.mounted()) {
        reliability::skipped(QStringLiteral("read-only home"), QStringLiteral("tmpfs"),
                             QStringLiteral("no private mount namespace"));
        QSKIP("no private mount namespace here");
    }
    QVERIFY(disk.remountReadOnly());
    const ScopedEnv xdg("XDG_DATA_HOME", QByteArray());
    const ScopedEnv homeAt("HOME", QFile::encodeName(disk.path()));
    GameSeams seams;
    const int code = startWithTheRealDirectory(seams);
    const bool told = saidWhy(seams, disk.path() + QStringLiteral("/.local:"),
                              QStringLiteral("il disco è di sola lettura"));
    reliability::outcome("fault", QStringLiteral("read-only home"), QStringLiteral("tmpfs"),
                         code == 1 && told, 0);
    QCOMPARE(code, 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
}

void TestFaults::unusableDataDirectory_data()
{
    QTest::addColumn<QByteArray>("below"); // what XDG_DATA_HOME adds to a fresh folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("a byte that is not UTF-8") << QByteArray("/caf\xe9") << "UTF-8";
    QByteArray deep;
    while (deep.size() < 5000)
        deep += '/' + QByteArray(199, 'a');
    QTest::newRow("5,000 characters") << deep << "troppo lungo";
}

// A data directory the game cannot use ends the start with a message that fits a screen, and no
// other folder is made in its place.
void TestFaults::unusableDataDirectory()
{
    QFETCH(QByteArray, below);
    QFETCH(QString, reason);
    QTemporaryDir home;
    const ScopedEnv xdg("XDG_DATA_HOME", QFile::encodeName(home.path()) + below);
    GameSeams seams;
    const int code = startWithTheRealDirectory(seams);
    const QString box =
        seams.dialogs.calls().isEmpty() ? QString() : seams.dialogs.calls().constLast().prompt;
    const bool told = code == 1 && box.contains(reason) && box.size() < 400;
    const bool nothingElse =
        QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    reliability::outcome("fault",
                         QStringLiteral("data directory with %1").arg(QTest::currentDataTag()),
                         QStringLiteral("environment"), told && nothingElse, 0);
    QVERIFY2(told, qPrintable(box.left(600)));
    QVERIFY(nothingElse);
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
    GameSeams seams(dir);
    writeOldPair(seams);
    Tavola game(seams.services());
    seams.start(game);
    beatTheRecord(game);
    const int code = leaveByExit(seams, game);
    Tavola next(seams.services());
    seams.start(next, QStringLiteral("Bruno"));
    const bool works = code == 0 && next.lblpunti->Caption() == QStringLiteral("4\r\n") &&
                       next.lblnome->Caption() == QStringLiteral("Anna\r\n");
    reliability::outcome("fault", QStringLiteral("record directory of 300 characters"),
                         QStringLiteral("long path"), works, works ? 0 : 1);
    QVERIFY(works);
}

// A group member swaps the journal of a save cut short for a link once the start has checked it:
// what is put in place is the content checked, never the object found there afterwards.
void TestFaults::leftoverSwappedAfterItsCheck()
{
    GameSeams seams;
    writeOldPair(seams);
    killSaveAfterRename(seams, 1);
    QTemporaryDir elsewhere;
    const QString target = elsewhere.path() + QStringLiteral("/x");
    const QString journal = seams.path(QStringLiteral("vora.journal"));
    bool swapped = false;
    seams.calls.rename = [&](const char *from, const char *to) {
        if (!std::exchange(swapped, true)) {
            QFile::remove(journal);
            QFile::link(target, journal);
        }
        return records::systemRename(from, to);
    };
    Tavola game(seams.services());
    seams.start(game);
    QVERIFY(swapped);
    QVERIFY(!QFileInfo(seams.path(records::scoreFileName)).isSymLink());
    QCOMPARE(pairIn(seams), (Pair{"9\r\n", "Nuova\r\n"}));
}

void TestFaults::keptRecordIsPutInPlaceWhenItStillBeats_data()
{
    QTest::addColumn<QByteArray>("kept");  // null: a link to such a file elsewhere
    QTest::addColumn<QByteArray>("score"); // what the next game reads
    QTest::addColumn<QByteArray>("holder");
    QTest::newRow("beats the record")
        << QByteArray("9\r\nNuova\r\n") << QByteArray("9\r\n") << QByteArray("Nuova\r\n");
    QTest::newRow("a line break in the name")
        << QByteArray("6\r\nAnna\nBruno\r\n") << QByteArray("6\r\n")
        << QByteArray("Anna Bruno\r\n");
    QTest::newRow("CR LF in the name") << QByteArray("6\r\nAnna\r\nBruno\r\n")
                                       << QByteArray("6\r\n") << QByteArray("Anna Bruno\r\n");
    QTest::newRow("beaten meanwhile") << QByteArray("2\r\nNuova\r\n") << oldScore << oldHolder;
    QTest::newRow("not what a game keeps")
        << QByteArray("99.5\r\nNuova\r\n") << oldScore << oldHolder;
    QTest::newRow("a link") << QByteArray() << oldScore << oldHolder;
}

// A record kept aside by a game that had to end is put in place by the next start, under the
// lock, only when it is what a game keeps and still beats the record; it never stays behind.
void TestFaults::keptRecordIsPutInPlaceWhenItStillBeats()
{
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, score);
    QFETCH(QByteArray, holder);
    GameSeams seams;
    writeOldPair(seams);
    QTemporaryDir elsewhere;
    const QString name = QStringLiteral("vora.kept-0123abcd");
    if (kept.isNull()) {
        QFile f(elsewhere.path() + QStringLiteral("/x"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("9\r\nNuova\r\n");
        QVERIFY(QFile::link(f.fileName(), seams.path(name)));
    } else {
        seams.write(name, kept);
    }
    Tavola game(seams.services());
    seams.start(game);
    QCOMPARE(toCp1252(game.lblpunti->Caption()), score);
    QCOMPARE(toCp1252(game.lblnome->Caption()), holder);
    QVERIFY(!QFileInfo::exists(seams.path(name)) && !QFileInfo(seams.path(name)).isSymLink());
}

// Leftovers no save of this game left, and what the next game reads beside them: the record on
// file, always.
void TestFaults::leftoversNeverReplaceTheRecord_data()
{
    QTest::addColumn<QStringList>("pending"); // files besides the old pair
    QTest::newRow("a kept record's name in capitals") << QStringList{"VORA.KEPT-000000AA"};
    QTest::newRow("killed while writing")
        << QStringList{".vora.txt-0a1b2c3d", ".nvora.txt-99887766"};
    QTest::newRow("killed keeping a record aside") << QStringList{".vora.kept-0a1b2c3d-99887766"};
    QTest::newRow("a .new pair of an earlier version")
        << QStringList{"nvora.txt.new", "vora.txt.new"};
    QTest::newRow("a lone vora.txt.new beside nvora.txt.old")
        << QStringList{"vora.txt.new", "nvora.txt.old"};
    QTest::newRow("a lone vora.txt.new") << QStringList{"vora.txt.new"};
}

void TestFaults::leftoversNeverReplaceTheRecord()
{
    QFETCH(QStringList, pending);
    GameSeams seams;
    writeOldPair(seams);
    QStringList notOurs; // no name a game uses: left alone
    for (const QString &name : pending) {
        const bool isScore = !name.contains(records::nameFileName);
        seams.write(name, name.contains(QStringLiteral("KEPT")) ? "9\r\nNuova\r\n"
                          : isScore                             ? "9\r\n"
                                                                : "Nuova\r\n");
        if (name.contains(QStringLiteral("KEPT")))
            notOurs << name;
    }
    Tavola game(seams.services());
    seams.start(game);
    const bool kept = pairIn(seams) == faultrow::oldPair;
    reliability::outcome("fault", QStringLiteral("leftover: %1").arg(QTest::currentDataTag()),
                         QStringLiteral("planted"), kept, kept ? 0 : 1);
    QCOMPARE(toCp1252(game.lblpunti->Caption()), oldScore);
    QCOMPARE(toCp1252(game.lblnome->Caption()), oldHolder);
    QVERIFY(kept);
    QStringList files = QDir(seams.dir()).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(records::lockFileName);
    QStringList expected = notOurs + QStringList{records::nameFileName, records::scoreFileName};
    files.sort();
    expected.sort();
    QCOMPARE(files, expected);
}

// A save killed after each of its steps, whatever stood at the name file's place when it began
// (the pair whole, no name file, a link, another account's file open to all): the next game
// finds the new pair whole, never one game's score with another's name; a pair copied in by hand
// after the kill stays.
void TestFaults::killedSaveLeavesOnePairOrTheOther_data()
{
    addColumns<QString, int, bool>({"before", "killedAfter", "copiedByHand"});
    for (const char *before : {"whole", "missing", "link", "foreign"})
        for (const int step : {1, 2, 3})
            QTest::addRow("nvora.txt %s, killed after rename %d", before, step)
                << before << step << false;
    QTest::newRow("a pair copied in by hand after the kill") << "whole" << 1 << true;
    QTest::newRow("a pair copied in by hand, the save killed half-way") << "whole" << 2 << true;
}

void TestFaults::killedSaveLeavesOnePairOrTheOther()
{
    QFETCH(QString, before);
    QFETCH(int, killedAfter);
    QFETCH(bool, copiedByHand);
    std::optional<rivals::Account> other;
    if (before == QStringLiteral("foreign")) {
        other.emplace("vorandi-altro");
        SKIP_WITHOUT(*other, QStringLiteral("killed save, another account's nvora.txt"));
    }
    GameSeams seams;
    writeOldPair(seams);
    QTemporaryDir elsewhere;
    const QByteArray holder = QFile::encodeName(seams.path(records::nameFileName));
    if (before != QStringLiteral("whole"))
        QVERIFY(QFile::remove(seams.path(records::nameFileName)));
    if (before == QStringLiteral("link"))
        QVERIFY(QFile::link(elsewhere.path() + QStringLiteral("/x"),
                            seams.path(records::nameFileName)));
    if (before == QStringLiteral("foreign")) {
        seams.write(records::nameFileName, oldHolder);
        QCOMPARE(::chown(holder, other->uid(), other->gid()), 0);
        QCOMPARE(::chmod(holder, 0666), 0);
    }
    killSaveAfterRename(seams, killedAfter);
    const Pair byHand{"50\r\n", "Mano\r\n"};
    if (copiedByHand) {
        seams.write(records::scoreFileName, byHand.score);
        seams.write(records::nameFileName, byHand.holder);
    }
    Tavola game(seams.services());
    seams.start(game);
    const Pair expected = copiedByHand ? byHand : Pair{"9\r\n", "Nuova\r\n"};
    const bool whole = pairIn(seams) == expected &&
                       toCp1252(game.lblpunti->Caption()) == expected.score &&
                       toCp1252(game.lblnome->Caption()) == expected.holder;
    reliability::outcome("fault", QStringLiteral("save killed, %1").arg(QTest::currentDataTag()),
                         QStringLiteral("killed at a step"), whole, whole ? 0 : 1);
    QVERIFY2(whole, qPrintable(seams.bytes(records::scoreFileName) + '/' +
                               seams.bytes(records::nameFileName)));
    QVERIFY2(faultrow::leftovers(seams.dir()).isEmpty(),
             qPrintable(faultrow::leftovers(seams.dir()).join(u' ')));
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
