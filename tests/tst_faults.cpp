// SPDX-License-Identifier: GPL-3.0-or-later
// Faults of the disk and of the process: a missing, read-only or full record directory, record
// files replaced by folders or broken links, and saves killed half-way. The game never crashes,
// says what went wrong in Italian, and never leaves a record half-written or lost.
#include "fixture.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "reliability.h"
#include "saverecordname.h"
#include "scratchdisk.h"

#include <QProcess>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <thread>

using namespace platform;
using scratchdisk::InjectedFailure;
using scratchdisk::Tmpfs;

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void recordDirectoryMissingAtStart();
    void dataDirectoryIsCreatedWhenMissing();
    void dataDirectoryCannotBeCreated();
    void recordDirectoryRemovedDuringTheGame();
    void readOnlyDisk_data();
    void readOnlyDisk();
    void fullDisk_data();
    void fullDisk();
    void recordFileReplacedByDirectory_data();
    void recordFileReplacedByDirectory();
    void recordFileIsABrokenLink_data();
    void recordFileIsABrokenLink();
    void interruptedSaveIsFinishedAtTheNextStart_data();
    void interruptedSaveIsFinishedAtTheNextStart();
    void killedSavesLeaveACompletePair();
};

namespace {

const QByteArray oldScore = "3\r\n";
const QByteArray oldHolder = "Vecchio campione\r\n";

struct Pair {
    QByteArray score;
    QByteArray holder;
    bool operator==(const Pair &) const = default;
};

Pair pairIn(const GameSeams &seams)
{
    return {seams.bytes(records::scoreFileName), seams.bytes(records::nameFileName)};
}

void writeOldPair(const GameSeams &seams)
{
    seams.write(records::scoreFileName, oldScore);
    seams.write(records::nameFileName, oldHolder);
}

// Answers right until the score beats the old record of 3.
void beatTheRecord(Tavola &game)
{
    for (int i = 0; i < 4; ++i) {
        answer(game, rightAnswer(game));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(int(game.CorrectCount), 4);
}

// Starts a game that must fail; returns its end code.
int startExpectingTheEnd(GameSeams &seams, Tavola &game)
{
    seams.dialogs.type(QStringLiteral("Anna"));
    seams.dialogs.answer(vbOK);
    try {
        game.Show();
    } catch (const ProgramEnded &end) {
        return end.code;
    }
    return -1;
}

// The last box shown: a critical message that names the file and gives the reason.
bool saidWhy(const GameSeams &seams, const QString &file, const QString &reason)
{
    if (seams.dialogs.calls().isEmpty())
        return false;
    const auto &box = seams.dialogs.calls().constLast();
    return box.style == vbCritical && box.prompt.contains(file) && box.prompt.contains(reason);
}

QStringList leftovers(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(records::scoreFileName);
    names.removeAll(records::nameFileName);
    names.removeAll(QStringLiteral("filler"));
    names.removeAll(records::scoreFileName + QStringLiteral(".new")); // a pair waiting to be
    names.removeAll(records::nameFileName + QStringLiteral(".new"));  // put in place
    return names;
}

const QString noFile = QStringLiteral("il file o la cartella non esiste");

} // namespace

void TestFaults::recordDirectoryMissingAtStart()
{
    QTemporaryDir parent;
    const QString gone = parent.path() + QStringLiteral("/sparita");
    GameSeams seams(gone);
    Tavola game;
    const int code = startExpectingTheEnd(seams, game);
    const bool told = saidWhy(seams, records::scoreFileName, noFile);
    reliability::outcome("fault", QStringLiteral("record directory missing at the start"),
                         QStringLiteral("directory removed"), code == 1 && told, 0);
    QCOMPARE(code, 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(!QFileInfo::exists(gone)); // nothing was made up in its place
    QCOMPARE(openFileCount(), 0);
}

void TestFaults::dataDirectoryIsCreatedWhenMissing()
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/a/b")));
    const QString dir = records::recordDirectory();
    qputenv("XDG_DATA_HOME", saved);
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
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker.fileName()));
    GameSeams seams;
    records::setWindowsDirectoryCall({}); // the real directory look-up
    Tavola game;
    const int code = startExpectingTheEnd(seams, game);
    qputenv("XDG_DATA_HOME", saved);
    const bool told = saidWhy(seams, records::scoreFileName,
                              QStringLiteral("una parte del percorso non è una cartella"));
    reliability::outcome("fault", QStringLiteral("data directory cannot be created"),
                         QStringLiteral("a file where the folder goes"), code == 1 && told, 0);
    QCOMPARE(code, 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
}

void TestFaults::recordDirectoryRemovedDuringTheGame()
{
    QTemporaryDir parent;
    const QString dir = parent.path() + QStringLiteral("/record");
    QVERIFY(QDir().mkdir(dir));
    GameSeams seams(dir);
    writeOldPair(seams);
    Tavola game;
    seams.start(game);
    beatTheRecord(game);
    QVERIFY(QDir(dir).removeRecursively());
    const int code = leaveByExit(seams, game);
    const bool told = saidWhy(seams, QStringLiteral("record"), noFile);
    reliability::outcome("fault", QStringLiteral("record directory removed during the game"),
                         QStringLiteral("directory removed"), code == 1 && told, 0);
    QCOMPARE(code, 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(!QFileInfo::exists(dir));
}

void TestFaults::readOnlyDisk_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("atStart");
    for (const bool atStart : {true, false}) {
        const char *when = atStart ? "at the start" : "at the save";
        QTest::addRow("tmpfs %s", when) << "tmpfs" << atStart;
        QTest::addRow("permissions %s", when) << "permissions" << atStart;
        QTest::addRow("injected %s", when) << "injected" << atStart;
    }
}

void TestFaults::readOnlyDisk()
{
    QFETCH(QString, how);
    QFETCH(bool, atStart);
    Tmpfs disk;
    const QString rowName =
        QStringLiteral("read-only disk %1").arg(atStart ? "at the start" : "at the save");
    if (how == QStringLiteral("tmpfs") && !disk.mounted()) {
        reliability::skipped(rowName, how, QStringLiteral("no private mount namespace"));
        QSKIP("no private mount namespace here: the injected row stands in");
    }
    if (how == QStringLiteral("permissions") && ::geteuid() == 0) {
        reliability::skipped(rowName, how, QStringLiteral("permissions do not stop root"));
        QSKIP("permissions do not stop root: the tmpfs and injected rows stand in");
    }
    QTemporaryDir plain;
    const QString dir = how == QStringLiteral("tmpfs") ? disk.path() : plain.path();
    GameSeams seams(dir);
    writeOldPair(seams);
    std::unique_ptr<InjectedFailure> injected;
    auto makeReadOnly = [&] {
        if (how == QStringLiteral("tmpfs"))
            QVERIFY(disk.remountReadOnly());
        else if (how == QStringLiteral("permissions"))
            QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        else
            injected = std::make_unique<InjectedFailure>(dir, EROFS);
    };
    Tavola game;
    int code = -1;
    if (atStart) {
        makeReadOnly();
        code = startExpectingTheEnd(seams, game);
    } else {
        seams.start(game);
        beatTheRecord(game);
        makeReadOnly();
        code = leaveByExit(seams, game);
    }
    injected.reset();
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Without write permission a start still reads the record; only the save is refused.
    const bool started = how == QStringLiteral("permissions") && atStart;
    const QString reason = how == QStringLiteral("permissions")
                               ? QStringLiteral("non si hanno i permessi per usarlo")
                               : QStringLiteral("il disco è di sola lettura");
    const bool told = started || saidWhy(seams, records::scoreFileName, reason);
    const bool intact = pairIn(seams) == Pair{oldScore, oldHolder};
    reliability::outcome("fault", rowName, how, (code == 1 || started) && told, intact ? 0 : 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
    if (!started)
        QCOMPARE(code, 1);
    QVERIFY(intact);
    QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(u' ')));
}

void TestFaults::fullDisk_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("tmpfs") << "tmpfs";
    QTest::newRow("injected") << "injected";
}

void TestFaults::fullDisk()
{
    QFETCH(QString, how);
    Tmpfs disk;
    if (how == QStringLiteral("tmpfs") && !disk.mounted()) {
        reliability::skipped(QStringLiteral("full disk at the save"), how,
                             QStringLiteral("no private mount namespace"));
        QSKIP("no private mount namespace here: the injected row stands in");
    }
    QTemporaryDir plain;
    const QString dir = how == QStringLiteral("tmpfs") ? disk.path() : plain.path();
    GameSeams seams(dir);
    writeOldPair(seams);
    Tavola game;
    seams.start(game);
    beatTheRecord(game);
    std::unique_ptr<InjectedFailure> injected;
    if (how == QStringLiteral("tmpfs"))
        QVERIFY(disk.fill());
    else
        injected = std::make_unique<InjectedFailure>(dir, ENOSPC);
    const int code = leaveByExit(seams, game);
    injected.reset();
    const bool told = saidWhy(seams, records::scoreFileName, QStringLiteral("il disco è pieno"));
    const bool intact = pairIn(seams) == Pair{oldScore, oldHolder};
    reliability::outcome("fault", QStringLiteral("full disk at the save"), how, code == 1 && told,
                         intact ? 0 : 1);
    QCOMPARE(code, 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(intact);
    QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(u' ')));
}

void TestFaults::recordFileReplacedByDirectory_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("atStart");
    for (const QString &file : {records::scoreFileName, records::nameFileName}) {
        QTest::addRow("%s at the start", qPrintable(file)) << file << true;
        QTest::addRow("%s during the game", qPrintable(file)) << file << false;
    }
}

void TestFaults::recordFileReplacedByDirectory()
{
    QFETCH(QString, file);
    QFETCH(bool, atStart);
    GameSeams seams;
    writeOldPair(seams);
    const QString other =
        file == records::scoreFileName ? records::nameFileName : records::scoreFileName;
    const QByteArray otherBytes = seams.bytes(other);
    auto replace = [&] {
        QVERIFY(QFile::remove(seams.path(file)));
        QVERIFY(QDir().mkdir(seams.path(file)));
    };
    Tavola game;
    int code = -1;
    if (atStart) {
        replace();
        code = startExpectingTheEnd(seams, game);
    } else {
        seams.start(game);
        beatTheRecord(game);
        replace();
        code = leaveByExit(seams, game);
    }
    const bool told = saidWhy(seams, file, QStringLiteral("al suo posto c'è una cartella"));
    // The other file keeps the old half of the pair: the save did not go ahead with one file.
    bool intact = seams.bytes(other) == otherBytes && QFileInfo(seams.path(file)).isDir();
    if (!atStart && file == records::nameFileName) {
        // The new pair waits beside the old one; once the folder is gone the next start
        // puts it in place whole.
        QVERIFY(QDir().rmdir(seams.path(file)));
        Tavola next;
        seams.start(next, QStringLiteral("Bruno"));
        intact = intact && next.lblpunti->Caption() == QStringLiteral("4\r\n") &&
                 next.lblnome->Caption() == QStringLiteral("Anna\r\n");
    }
    reliability::outcome("fault",
                         QStringLiteral("%1 replaced by a directory %2")
                             .arg(file, atStart ? "at the start" : "during the game"),
                         QStringLiteral("mkdir"), code == 1 && told, intact ? 0 : 1);
    QCOMPARE(code, 1);
    QVERIFY2(told, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(intact);
    QVERIFY2(leftovers(seams.dir()).isEmpty(), qPrintable(leftovers(seams.dir()).join(u' ')));
}

void TestFaults::recordFileIsABrokenLink_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("into a missing folder") << "missing/vora.txt" << noFile;
    QTest::newRow("to itself") << "vora.txt"
                               << QStringLiteral("il collegamento rimanda a sé stesso");
    QTest::newRow("to a missing file") << "elsewhere.txt" << QString();
}

// A link whose target cannot be made stops the game with a message; one whose target can be made
// plays on, and a beaten record then replaces the link with a real file.
void TestFaults::recordFileIsABrokenLink()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    GameSeams seams;
    seams.write(records::nameFileName, oldHolder);
    QVERIFY(QFile::link(target, seams.path(records::scoreFileName)));
    Tavola game;
    bool survived = false;
    bool intact = false;
    if (!reason.isEmpty()) {
        const int code = startExpectingTheEnd(seams, game);
        survived = code == 1 && saidWhy(seams, records::scoreFileName, reason);
        intact = seams.bytes(records::nameFileName) == oldHolder;
    } else {
        seams.start(game);
        beatTheRecord(game);
        const int code = leaveByExit(seams, game);
        const QFileInfo score(seams.path(records::scoreFileName));
        survived = code == 0;
        intact = !score.isSymLink() && pairIn(seams) == Pair{"4\r\n", "Anna\r\n"};
    }
    reliability::outcome(
        "fault", QStringLiteral("score file is a broken link %1").arg(QTest::currentDataTag()),
        QStringLiteral("symlink"), survived, intact ? 0 : 1);
    QVERIFY2(survived, qPrintable(seams.dialogs.prompts().join(u'|')));
    QVERIFY(intact);
}

// Each state a save killed at some point leaves on disk, and what the next game reads from it.
void TestFaults::interruptedSaveIsFinishedAtTheNextStart_data()
{
    QTest::addColumn<QStringList>("pending"); // files besides the old pair
    QTest::addColumn<QByteArray>("score");    // what the next game reads
    QTest::addColumn<QByteArray>("holder");
    const QByteArray newScore = "9\r\n";
    const QByteArray newHolder = "Nuova\r\n";
    QTest::newRow("killed while writing")
        << QStringList{".vora.txt-0a1b2c3d", ".nvora.txt-99887766"} << oldScore << oldHolder;
    QTest::newRow("killed before the commit")
        << QStringList{"nvora.txt.new"} << oldScore << oldHolder;
    QTest::newRow("killed after the commit")
        << QStringList{"nvora.txt.new", "vora.txt.new"} << newScore << newHolder;
    QTest::newRow("killed between the two moves")
        << QStringList{"vora.txt.new", "nvora.txt"} << newScore << newHolder;
}

void TestFaults::interruptedSaveIsFinishedAtTheNextStart()
{
    QFETCH(QStringList, pending);
    QFETCH(QByteArray, score);
    QFETCH(QByteArray, holder);
    GameSeams seams;
    writeOldPair(seams);
    for (const QString &name : pending) {
        const bool isScore = !name.contains(records::nameFileName);
        seams.write(name, isScore ? "9\r\n" : "Nuova\r\n");
    }
    Tavola game;
    seams.start(game);
    QCOMPARE(toCp1252(game.lblpunti->Caption()), score);
    QCOMPARE(toCp1252(game.lblnome->Caption()), holder);
    QCOMPARE(pairIn(seams), (Pair{score, holder}));
    QCOMPARE(QDir(seams.dir()).entryList(QDir::Files | QDir::Hidden).size(), 2);
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
        saver.start(QStringLiteral(RECORDSAVER), {dir.path(), QString::number(lastScore + 1)});
        QVERIFY(saver.waitForStarted());
        QVERIFY(saver.waitForReadyRead(30000));
        const int delay = QRandomGenerator::global()->bounded(0, 20000);
        std::this_thread::sleep_for(std::chrono::microseconds(delay)); // the random moment
        saver.kill();
        QVERIFY(saver.waitForFinished(30000));
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        // The next game's own start: create what is missing, then read both files.
        const QString windowsDir = dir.path() + u'\\';
        records::createRecordFiles(windowsDir);
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
    const int left = int(leftovers(dir.path()).size());
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
