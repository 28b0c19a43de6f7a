// SPDX-License-Identifier: GPL-3.0-or-later
// The record files byte for byte: where they lie, how a game reads, checks and saves them, and
// what a fault, a crash or a second game ending at once can and cannot do to them.
#include "columns.h"
#include "fixture.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "records/directorylock.h"
#include "records/systemcalls.h"
#include "rules/texts.h"
#include "systemtest.h"

#include <QProcess>

#include <cerrno>
#include <sys/stat.h>

using namespace platform;

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void ownCallKeepsTheContract();
    void folderThatCannotBeMadeIsNamed();
    void systemDirFromEachOutcome_data();
    void systemDirFromEachOutcome();
    void filesLieInTheReturnedDirectory_data();
    void filesLieInTheReturnedDirectory();
    void unusableFilesEndTheGameClearly_data();
    void unusableFilesEndTheGameClearly();
    void recordCheck_data();
    void recordCheck();
    void scoreFileOfAnEditor_data();
    void scoreFileOfAnEditor();
    void newGameShowsTheSavedRecord();
    void recordSavedMeanwhile_data();
    void recordSavedMeanwhile();
    void faultKeepsTheOldPair_data();
    void faultKeepsTheOldPair();
    void fileSizeLimitInAnotherProcess();
    void leftoversOfACrashedSaveGo();
    void savesWhereTheDiskCannotLock();
    void filesAreAsSharedAsTheirDirectory_data();
    void filesAreAsSharedAsTheirDirectory();
    void twoGamesSavingAtOnce();
};

namespace {

const QString &confirmation = game::text::recordSaved;

// Leaves through cmdExit, confirming, as a player does.
void leave(GameSeams &seams, Tavola &game)
{
    seams.dialogs.answer(vbYes);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.cmdExit->click());
}

bool confirmed(const GameSeams &seams)
{
    return seams.dialogs.prompts().contains(confirmation);
}

// Everything in the directory but the two record files, hidden files included.
QStringList strays(const QString &dir)
{
    QStringList names =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeAll(records::scoreFileName);
    names.removeAll(records::nameFileName);
    names.removeAll(records::lockFileName);
    return names;
}

// The last box shown must be a run-time error naming path, for the reason given.
void expectErrorBox(const GameSeams &seams, const QString &path, const QString &reason)
{
    QVERIFY(!seams.dialogs.calls().isEmpty());
    const ScriptedDialogs::Call box = seams.dialogs.calls().last();
    QCOMPARE(box.style, int(vbCritical));
    QVERIFY2(box.prompt.contains(QDir::toNativeSeparators(path)), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(reason), qPrintable(box.prompt));
    QVERIFY2(!box.prompt.contains(QChar(0)), qPrintable(box.prompt));
}

// Which record file a descriptor is writing (its temporary file is named after it).
QString writtenFile(int fd)
{
    return systemtest::openFileName(fd).startsWith(u".n") ? records::nameFileName
                                                          : records::scoreFileName;
}

// A data row of text columns.
void addTextRow(const char *tag, std::initializer_list<const char *> columns)
{
    QTestData &row = QTest::newRow(tag);
    for (const char *text : columns)
        row << QString::fromUtf8(text);
}

} // namespace

void TestRecords::ownCallKeepsTheContract()
{
#ifdef _WIN32
    QSKIP("on Windows the call answers the shared data folder (tst_windows checks it)");
#endif
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QByteArray built(VORANDI_RECORD_DIR);
    const QByteArray expected =
        built.isEmpty() ? QFile::encodeName(data.path()) + "/vorandi" : built;
    QByteArray buffer(128, 'x');
    QCOMPARE(records::GetWindowsDirectoryA(buffer.data(), 128), std::uint32_t(expected.size()));
    QCOMPARE(buffer.left(expected.size() + 1), expected + '\0');
    QCOMPARE(buffer.mid(expected.size() + 1), QByteArray(127 - expected.size(), 'x'));
    QVERIFY(QFileInfo(QString::fromUtf8(expected)).isDir());
    QByteArray small(8, 'x');
    QCOMPARE(records::GetWindowsDirectoryA(small.data(), 8), std::uint32_t(expected.size() + 1));
    QCOMPARE(small, QByteArray(8, 'x'));
    qunsetenv("XDG_DATA_HOME");
}

void TestRecords::folderThatCannotBeMadeIsNamed()
{
#ifdef _WIN32
    QSKIP("on Windows the folder is the shared data folder (tst_windows checks it)");
#endif
    if (!QByteArray(VORANDI_RECORD_DIR).isEmpty())
        QSKIP("the build fixes the record directory");
    QTemporaryDir data;
    const QString file = data.filePath(QStringLiteral("data"));
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    qputenv("XDG_DATA_HOME", QFile::encodeName(file));
    char buffer[128];
    try {
        records::GetWindowsDirectoryA(buffer, sizeof buffer);
        QFAIL("a folder under a file was made");
    } catch (const platform::RuntimeError &error) {
        QCOMPARE(error.message(), QStringLiteral("Errore sulla cartella %1: non si può creare, al "
                                                 "suo posto c'è un file.")
                                      .arg(file));
    }
    qunsetenv("XDG_DATA_HOME");
}

void TestRecords::systemDirFromEachOutcome_data()
{
    addColumns<QByteArray, QString>({"text", "expected"});
    const QByteArray dir127 = "C:\\" + QByteArray(124, 'a');
    const QByteArray dir300 = "C:\\" + QByteArray(297, 'a');
    QTest::newRow("windows directory") << QByteArray("C:\\WINDOWS") << "C:\\WINDOWS\\";
    QTest::newRow("root unchanged") << QByteArray("C:\\") << "C:\\";
    QTest::newRow("failed call") << QByteArray() << "\\";
    QTest::newRow("127 characters") << dir127 << QString::fromLatin1(dir127 + "\\");
    QTest::newRow("300 characters, asked again with the size needed")
        << dir300 << QString::fromLatin1(dir300 + "\\");
    QTest::newRow("several bytes a character")
        << QByteArray("C:\\Niccol\xC3\xB2") << QStringLiteral("C:\\Niccolò\\");
}

void TestRecords::systemDirFromEachOutcome()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QCOMPARE(records::GetSystemDir(records::windowsDirectoryReturning(text)), expected);
}

void TestRecords::filesLieInTheReturnedDirectory_data()
{
    addColumns<QString, bool>({"leaf", "backslashes"});
    QTest::newRow("slashes") << "rec" << false;
    QTest::newRow("backslashes") << "rec" << true;
    QTest::newRow("127 characters") << "" << true;
    QTest::newRow("accented name") << "Niccolò" << true;
}

void TestRecords::filesLieInTheReturnedDirectory()
{
    QFETCH(QString, leaf);
    QFETCH(bool, backslashes);
    QTemporaryDir base;
    if (leaf.isEmpty())
        leaf = QString(126 - base.path().size(), u'd');
    const QString dir = base.path() + u'/' + leaf;
    QVERIFY(QDir().mkpath(dir));
    QString given = dir;
    if (backslashes)
        given.replace(u'/', u'\\');
    GameSeams seams(dir);
    game::Services services = seams.services();
    services.recordDirectory = records::windowsDirectoryReturning(given.toUtf8());
    Tavola game(services);
    seams.start(game);
    QCOMPARE(game.WindowsDir, given + u'\\');
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray(""));
    QCOMPARE(seams.bytes(records::nameFileName), QByteArray(""));
    QCOMPARE(strays(dir), QStringList());
    answerRight(game, 1);
    leave(seams, game);
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("1\r\n"));
    QString path = game.WindowsDir + QStringLiteral("\\vora.txt");
    const QString asGiven = path;
    QCOMPARE(game.Leggifiletxt(path), QStringLiteral("1\r\n"));
    QCOMPARE(path, asGiven);
}

void TestRecords::unusableFilesEndTheGameClearly_data()
{
    addColumns<QString, QString, QString>({"setup", "named", "reason"});
    addTextRow("failed call", {"fail", "\\\\vora.txt", "questo computer"});
    addTextRow("missing directory", {"missing", "/vora.txt", "non esiste"});
    addTextRow("file for directory", {"file", "/vora.txt", "non è una cartella"});
    addTextRow("directory for score", {"vora.txt/", "/vora.txt", "cartella"});
    addTextRow("directory for name", {"nvora.txt/", "/nvora.txt", "cartella"});
    addTextRow("pipe for score", {"pipe", "/vora.txt", "non è un file normale"});
    addTextRow("huge score file", {"huge", "/vora.txt", "troppo grande"});
}

void TestRecords::unusableFilesEndTheGameClearly()
{
    QFETCH(QString, setup);
    QFETCH(QString, named);
    QFETCH(QString, reason);
    const bool rootFileBefore = QFile::exists(QStringLiteral("/vora.txt"));
    QTemporaryDir base;
    QString dir = base.path() + QStringLiteral("/rec");
    QDir().mkpath(dir);
    GameSeams seams(dir);
    game::Services services = seams.services();
    if (setup == QStringLiteral("fail")) {
        services.recordDirectory = records::windowsDirectoryReturning(QByteArray());
    } else if (setup == QStringLiteral("missing")) {
        QVERIFY(QDir(dir).removeRecursively());
    } else if (setup == QStringLiteral("file")) {
        QVERIFY(QDir(dir).removeRecursively());
        QFile file(dir);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (setup.endsWith(u'/')) {
        QVERIFY(QDir(dir).mkdir(setup.chopped(1)));
    } else if (setup == QStringLiteral("pipe")) {
        if (!systemtest::makeFifo(seams.path(records::scoreFileName)))
            QSKIP("Windows has no named pipes in its file system");
    } else if (setup == QStringLiteral("huge")) {
        QFile file(seams.path(records::scoreFileName));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(records::maxRecordFileSize + 1));
    }
    Tavola game(services);
    seams.dialogs.type(QStringLiteral("Anna"));
    seams.dialogs.answer(vbOK);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.Show());
    const QString expectedPath = named.startsWith(u'/') ? dir + named : named;
    expectErrorBox(seams, expectedPath, reason);
    QCOMPARE(openFileCount(), 0);
    QCOMPARE(QFile::exists(QStringLiteral("/vora.txt")), rootFileBefore);
}

void TestRecords::recordCheck_data()
{
    addColumns<QByteArray, QByteArray, QString, int>(
        {"storedScore", "storedName", "player", "right"});
    QTest::addColumn<QByteArray>("savedName"); // null: nothing saved
    QTest::newRow("first start, none right")
        << QByteArray() << QByteArray() << "Anna" << 0 << QByteArray();
    QTest::newRow("first start, one right")
        << QByteArray() << QByteArray() << "Anna" << 1 << QByteArray("Anna\r\n");
    QTest::newRow("12 against 12")
        << QByteArray("12\r\n") << QByteArray("Bea\r\n") << "Anna" << 12 << QByteArray();
    QTest::newRow("12 against 13")
        << QByteArray("12\r\n") << QByteArray("Bea\r\n") << "Anna" << 13 << QByteArray("Anna\r\n");
    QTest::newRow("12.5 against 12")
        << QByteArray("12.5") << QByteArray("Bea") << "Anna" << 12 << QByteArray();
    QTest::newRow("12.5 against 13")
        << QByteArray("12.5") << QByteArray("Bea") << "Anna" << 13 << QByteArray("Anna\r\n");
    QTest::newRow("lines by hand against 7")
        << QByteArray("7\r\notto\r\n9\r\n") << QByteArray("Bea\r\nCarlo\r\n") << "Anna" << 7
        << QByteArray();
    QTest::newRow("lines by hand against 8")
        << QByteArray("7\r\notto\r\n9\r\n") << QByteArray("Bea\r\nCarlo\r\n") << " Anna " << 8
        << QByteArray(" Anna \r\n");
    QTest::newRow("no number first") << QByteArray("circa 50\r\n") << QByteArray("\xE8\r\n")
                                     << "Anna" << 1 << QByteArray("Anna\r\n");
    QTest::newRow("empty name") << QByteArray() << QByteArray() << "" << 1 << QByteArray("\r\n");
    QTest::newRow("Windows-1252 name")
        << QByteArray() << QByteArray() << QString::fromUtf8("Niccolò € 李\xF0\x9F\x98\x80") << 1
        << QByteArray("Niccol\xF2 \x80 ??\r\n");
    QTest::newRow("a line break pasted into the name")
        << QByteArray() << QByteArray() << "Anna\nBruno" << 1 << QByteArray("Anna Bruno\r\n");
    QTest::newRow("CR LF, a CR and a tab in the name")
        << QByteArray() << QByteArray() << "A\r\nB\rC\tD" << 1 << QByteArray("A B C D\r\n");
    QTest::newRow("a decomposed accent")
        << QByteArray() << QByteArray() << QString::fromUtf8("Zoe\xCC\x81") << 1
        << QByteArray("Zo\xE9\r\n");
}

void TestRecords::recordCheck()
{
    QFETCH(QByteArray, storedScore);
    QFETCH(QByteArray, storedName);
    QFETCH(QString, player);
    QFETCH(int, right);
    QFETCH(QByteArray, savedName);
    GameSeams seams;
    if (!storedScore.isNull()) {
        seams.write(records::scoreFileName, storedScore);
        seams.write(records::nameFileName, storedName);
    }
    Tavola game(seams.services());
    seams.start(game, player);
    QCOMPARE(seams.bytes(records::scoreFileName), storedScore.isNull() ? "" : storedScore);
    QCOMPARE(game.lblpunti->Caption(), fromCp1252(storedScore));
    QCOMPARE(game.lblnome->Caption(), fromCp1252(storedName));
    answerRight(game, right);
    leave(seams, game);
    const bool saved = !savedName.isNull();
    QCOMPARE(seams.bytes(records::scoreFileName), saved ? QByteArray::number(right) + "\r\n"
                                                  : storedScore.isNull() ? ""
                                                                         : storedScore);
    QCOMPARE(seams.bytes(records::nameFileName), saved                 ? savedName
                                                 : storedName.isNull() ? ""
                                                                       : storedName);
    QCOMPARE(confirmed(seams), saved);
    if (saved) {
        const ScriptedDialogs::Call box = seams.dialogs.calls().last();
        QCOMPARE(box.prompt, confirmation);
        QCOMPARE(box.prompt.size(), 48);
        QCOMPARE(box.style, int(vbOKOnly));
        QCOMPARE(box.title, QStringLiteral("Vorandi"));
    }
    QCOMPARE(strays(seams.dir()), QStringList());
}

void TestRecords::scoreFileOfAnEditor_data()
{
    addColumns<QByteArray, QString, bool>({"stored", "shown", "beatenBy3"});
    QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF"
                                                       "25\r\n")
                                         << "25\r\n"
                                         << false;
    QTest::newRow("UTF-16 with its mark") << QByteArray("\xFF\xFE"
                                                        "2\0"
                                                        "5\0\r\0\n\0",
                                                        10)
                                          << "25\r\n"
                                          << false;
    QTest::newRow("UTF-16, big-endian, with its mark") << QByteArray("\xFE\xFF\0"
                                                                     "2\0"
                                                                     "5\0\r\0\n",
                                                                     10)
                                                       << "25\r\n"
                                                       << false;
    QTest::newRow("a no-break space first") << QByteArray("\xA0"
                                                          "25\r\n")
                                            << "\u00A025\r\n"
                                            << true;
}

// A score file saved by a teacher's editor keeps its record, and the window shows its text.
void TestRecords::scoreFileOfAnEditor()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    QFETCH(bool, beatenBy3);
    GameSeams seams;
    seams.write(records::scoreFileName, stored);
    seams.write(records::nameFileName, "Bea\r\n");
    Tavola game(seams.services());
    seams.start(game);
    QCOMPARE(game.lblpunti->Caption(), shown);
    answerRight(game, 3);
    leave(seams, game);
    QCOMPARE(confirmed(seams), beatenBy3);
    QCOMPARE(seams.bytes(records::scoreFileName), beatenBy3 ? QByteArray("3\r\n") : stored);
}

void TestRecords::newGameShowsTheSavedRecord()
{
    auto &&[seams, game] = StartedGame();
    answerRight(game, 2);
    seams.dialogs.answer(vbYes);
    seams.dialogs.answer(vbOK);
    seams.dialogs.type(QStringLiteral("Bea"));
    seams.dialogs.answer(vbOK);
    game.Next_Click();
    QVERIFY(confirmed(seams));
    QCOMPARE(game.lblpunti->Caption(), QStringLiteral("2\r\n"));
    QCOMPARE(game.lblnome->Caption(), QStringLiteral("Anna\r\n"));
    QCOMPARE(game.lblnome1->Caption(), QStringLiteral("Bea"));
    seams.dialogs.clearCalls();
    answerRight(game, 2);
    leave(seams, game);
    QVERIFY(!confirmed(seams)); // equal to the record: kept
    QCOMPARE(seams.bytes(records::nameFileName), QByteArray("Anna\r\n"));
}

void TestRecords::recordSavedMeanwhile_data()
{
    addColumns<QByteArray, bool>({"meanwhile", "saved"});
    QTest::newRow("higher") << QByteArray("9\r\n") << false;
    QTest::newRow("equal") << QByteArray("6\r\n") << false;
    QTest::newRow("lower") << QByteArray("5.5\r\n") << true;
}

void TestRecords::recordSavedMeanwhile()
{
    QFETCH(QByteArray, meanwhile);
    QFETCH(bool, saved);
    GameSeams seams;
    seams.write(records::scoreFileName, "5\r\n");
    seams.write(records::nameFileName, "Bea\r\n");
    Tavola game(seams.services());
    seams.start(game);
    answerRight(game, 6);
    seams.write(records::scoreFileName, meanwhile);
    seams.write(records::nameFileName, "Carlo\r\n");
    leave(seams, game);
    QCOMPARE(confirmed(seams), saved);
    QCOMPARE(seams.bytes(records::scoreFileName), saved ? QByteArray("6\r\n") : meanwhile);
    QCOMPARE(seams.bytes(records::nameFileName), saved ? "Anna\r\n" : "Carlo\r\n");
}

void TestRecords::faultKeepsTheOldPair_data()
{
    addColumns<QString, QString, QString>({"fault", "named", "reason"});
    addTextRow("read-only directory", {"readonly", "vora.txt", "permessi"});
    addTextRow("directory moved, a file in its place", {"moved", "", "non è una cartella"});
    addTextRow("name file became a directory", {"namedir", "nvora.txt", "cartella"});
    addTextRow("score write fails half-way", {"write vora.txt", "vora.txt", "pieno"});
    addTextRow("name write fails half-way", {"write nvora.txt", "nvora.txt", "pieno"});
    addTextRow("name rename fails", {"rename nvora.txt", "nvora.txt", "disco"});
    addTextRow("score rename fails after the name's", {"rename vora.txt", "vora.txt", "disco"});
}

void TestRecords::faultKeepsTheOldPair()
{
    QFETCH(QString, fault);
    QFETCH(QString, named);
    QFETCH(QString, reason);
    if (fault == QStringLiteral("readonly") && systemtest::permissionsStopNothing())
        QSKIP("permissions do not stop root or an administrator");
#ifdef _WIN32
    if (fault == QStringLiteral("readonly"))
        QSKIP("a folder's read-only flag does not stop writing into it on Windows");
#endif
    QTemporaryDir base;
    const QString dir = base.path() + QStringLiteral("/rec");
    QDir().mkpath(dir);
    GameSeams seams(dir);
    seams.write(records::scoreFileName, "3\r\n");
    seams.write(records::nameFileName, "Bea\r\n");
    Tavola game(seams.services());
    seams.start(game);
    answerRight(game, 4);
    QString oldDir = dir;
    if (fault == QStringLiteral("readonly")) {
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    } else if (fault == QStringLiteral("moved")) {
        oldDir = dir + QStringLiteral(".old");
        QVERIFY(QDir().rename(dir, oldDir));
        QFile file(dir);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (fault == QStringLiteral("namedir")) {
        QVERIFY(QFile::remove(seams.path(records::nameFileName)));
        QVERIFY(QDir(dir).mkdir(records::nameFileName));
    } else if (fault.startsWith(QStringLiteral("write "))) {
        const QString failing = fault.mid(6);
        seams.calls.write = [failing](int fd, const void *data, std::size_t size) {
            if (writtenFile(fd) != failing)
                return records::systemWrite(fd, data, size);
            if (size > 1)
                return records::systemWrite(fd, data, size / 2);
            errno = ENOSPC;
            return ssize_t(-1);
        };
    } else if (fault.startsWith(QStringLiteral("rename "))) {
        // Moving the new file in fails; putting the old one back in place of the other does not.
        const QByteArray failing = '/' + fault.mid(7).toUtf8();
        seams.calls.rename = [failing](const char *from, const char *to) {
            if (QByteArray(to).endsWith(failing)) {
                errno = EIO;
                return -1;
            }
            return records::systemRename(from, to);
        };
    }
    leave(seams, game);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    seams.calls = records::SystemCalls();
    expectErrorBox(seams, named.isEmpty() ? dir : dir + u'/' + named, reason);
    QVERIFY(seams.dialogs.calls().last().prompt.startsWith(
        QStringLiteral("Il tuo record non è stato registrato: ")));
    QVERIFY(!confirmed(seams));
    QFile score(oldDir + QStringLiteral("/vora.txt"));
    QFile name(oldDir + QStringLiteral("/nvora.txt"));
    QVERIFY(score.open(QIODevice::ReadOnly));
    QCOMPARE(score.readAll(), QByteArray("3\r\n"));
    if (fault != QStringLiteral("namedir")) {
        QVERIFY(name.open(QIODevice::ReadOnly));
        QCOMPARE(name.readAll(), QByteArray("Bea\r\n"));
    }
    // Nothing of the failed save stays in view.
    QCOMPARE(strays(oldDir), QStringList());
}

void TestRecords::fileSizeLimitInAnotherProcess()
{
#ifdef _WIN32
    QSKIP("Windows has no limit on the size of the files a process writes");
#endif
    QTemporaryDir dir;
    GameSeams seams(dir.path());
    seams.write(records::scoreFileName, "5\r\n");
    seams.write(records::nameFileName, "Bea\r\n");
    QProcess saver;
    // The name line, "N-6" and its line break, takes five bytes: one past the limit.
    saver.start(QStringLiteral(RECORD_SAVER),
                {dir.path(), QStringLiteral("N"), QStringLiteral("6"), QStringLiteral("1"),
                 QStringLiteral("1"), QStringLiteral("--fsize-limit"), QStringLiteral("4")});
    QVERIFY(saver.waitForFinished());
    QCOMPARE(saver.exitCode(), 2);
    const QString message = QString::fromUtf8(saver.readAllStandardOutput());
    QVERIFY2(message.contains(seams.path(records::nameFileName)), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("dimensione")), qPrintable(message));
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("5\r\n"));
    QCOMPARE(seams.bytes(records::nameFileName), QByteArray("Bea\r\n"));
    QCOMPARE(strays(dir.path()), QStringList());
}

void TestRecords::leftoversOfACrashedSaveGo()
{
    GameSeams seams;
    seams.write(QStringLiteral(".vora.txt-0badf00d"), "9\r\n");
    seams.write(QStringLiteral(".nvora.txt-0badf00d"), "Z");
    seams.write(QStringLiteral("notes.txt"), "keep");
    Tavola game(seams.services());
    seams.start(game);
    answerRight(game, 1);
    leave(seams, game);
    QVERIFY(confirmed(seams));
    QCOMPARE(strays(seams.dir()), QStringList{QStringLiteral("notes.txt")});
}

void TestRecords::savesWhereTheDiskCannotLock()
{
    GameSeams seams;
    int attempts = 0;
    seams.calls.flock = [&attempts](int, int) {
        ++attempts;
        errno = ENOLCK;
        return -1;
    };
    Tavola game(seams.services());
    seams.start(game);
    answerRight(game, 1);
    leave(seams, game);
    QVERIFY(attempts > 0);
    QVERIFY(confirmed(seams));
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("1\r\n"));
}

void TestRecords::filesAreAsSharedAsTheirDirectory_data()
{
    addColumns<int, int, int>({"dirMode", "mask", "fileMode"});
    QTest::newRow("school's group directory, strict umask") << 02775 << 022 << 0664;
    QTest::newRow("school's group directory, private umask") << 02775 << 077 << 0664;
    QTest::newRow("open to everyone") << 0777 << 077 << 0666;
    QTest::newRow("own data directory") << 0755 << 022 << 0644;
    QTest::newRow("private") << 0700 << 077 << 0600;
}

void TestRecords::filesAreAsSharedAsTheirDirectory()
{
#ifdef _WIN32
    QSKIP("Windows gives files the rights of their folder (tst_windows checks them)");
#else
    QFETCH(int, dirMode);
    QFETCH(int, mask);
    QFETCH(int, fileMode);
    GameSeams seams;
    QCOMPARE(::chmod(QFile::encodeName(seams.dir()), mode_t(dirMode)), 0);
    const mode_t before = ::umask(mode_t(mask));
    auto modeOf = [&seams](const QString &name) {
        struct stat st {};
        ::stat(QFile::encodeName(seams.path(name)), &st);
        return int(st.st_mode & 07777);
    };
    Tavola game(seams.services());
    seams.start(game);
    const int created = modeOf(records::nameFileName);
    answerRight(game, 1);
    leave(seams, game);
    ::umask(before);
    QCOMPARE(created, fileMode);
    QVERIFY(confirmed(seams));
    QCOMPARE(modeOf(records::scoreFileName), fileMode);
    QCOMPARE(modeOf(records::nameFileName), fileMode);
#endif
}

void TestRecords::twoGamesSavingAtOnce()
{
    QTemporaryDir dir;
    GameSeams seams(dir.path());
    seams.write(records::scoreFileName, "");
    seams.write(records::nameFileName, "");
    constexpr int saves = 300;
    // A saves the even scores, B the odd ones; both climb, so they keep overtaking each other.
    QProcess a;
    QProcess b;
    const QString count = QString::number(saves);
    a.start(QStringLiteral(RECORD_SAVER), {dir.path(), QStringLiteral("A"), QStringLiteral("2"),
                                           QStringLiteral("2"), count, "--wait-stdin"});
    b.start(QStringLiteral(RECORD_SAVER), {dir.path(), QStringLiteral("B"), QStringLiteral("1"),
                                           QStringLiteral("2"), count, "--wait-stdin"});
    QVERIFY(a.waitForStarted() && b.waitForStarted());
    a.closeWriteChannel();
    b.closeWriteChannel();
    platform::SilentWait patient; // the games' saves take the lock only for moments
    records::RecordServices services = seams.recordServices();
    services.wait = &patient;
    double highest = 0;
    int looks = 0;
    auto look = [&] {
        QByteArray score;
        QByteArray name;
        {
            records::DirectoryLock lock(dir.path(), records::LockPurpose::Reading, services);
            score = seams.bytes(records::scoreFileName);
            name = seams.bytes(records::nameFileName);
        }
        ++looks;
        if (score.isEmpty())
            return;
        const QByteArray number = score.chopped(2);
        QCOMPARE(name, (number.toInt() % 2 ? "B-" : "A-") + number + "\r\n");
        QVERIFY2(number.toDouble() >= highest, score.constData());
        highest = number.toDouble();
    };
    while (a.state() != QProcess::NotRunning || b.state() != QProcess::NotRunning) {
        look();
        if (QTest::currentTestFailed())
            break;
        a.waitForFinished(1);
        b.waitForFinished(1);
    }
    a.waitForFinished();
    b.waitForFinished();
    look();
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray::number(2 * saves) + "\r\n");
    QCOMPARE(seams.bytes(records::nameFileName), "A-" + QByteArray::number(2 * saves) + "\r\n");
    QCOMPARE(strays(dir.path()), QStringList());
    qInfo("%d consistent looks at the pair while two games saved", looks);
}

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
