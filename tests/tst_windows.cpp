// SPDX-License-Identifier: GPL-3.0-or-later
// The record directory on Windows: %ProgramData%\Vorandi, which every account may write, or the
// folder an administrator named when installing; made by the first game where no installer made
// it, and taking over a record that older installations kept in the Windows directory.
#include "columns.h"
#include "fixture.h"
#include "platform/runtime.h"
#include "platform/windowserror.h"
#include "records/recordfiles.h"
#include "records/recordfolder_win.h"

#include <QScopeGuard>
#include <QSettings>

#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

using namespace platform;

// A pair of record files' contents; "<missing>" stands for a file that is not there.
struct Pair {
    QByteArray score;
    QByteArray name;
};
Q_DECLARE_METATYPE(Pair)

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void ownCallAnswersTheSharedFolder();
    void folderRightsLetEveryAccountPlay();
    void folderAndFilesGrantUsersModify();
    void oldRecordIsTakenOver_data();
    void oldRecordIsTakenOver();
    void folderThatCannotBeMadeIsNamed();
    void gameSavesInAnUnusualPlace_data();
    void gameSavesInAnUnusualPlace();
    void longPathsTakeTheVerbatimForm_data();
    void longPathsTakeTheVerbatimForm();
    void programCarriesItsManifest();
    void installerNamesTheRecordFolder_data();
    void installerNamesTheRecordFolder();
};

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Puts a pair in dir.
void putPair(const QString &dir, const Pair &pair)
{
    QDir().mkpath(dir);
    if (pair.score != "<missing>")
        writeFile(dir + QStringLiteral("/vora.txt"), pair.score);
    if (pair.name != "<missing>")
        writeFile(dir + QStringLiteral("/nvora.txt"), pair.name);
}

bool runsUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Read, write, run and delete: what Windows calls modify.
constexpr ACCESS_MASK modify =
    FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

// The rights the Users group holds through allowing entries of a DACL, and those entries' flags.
struct UsersEntry {
    ACCESS_MASK rights = 0;
    BYTE flags = 0;
};

UsersEntry usersEntryOf(PACL dacl)
{
    UsersEntry found;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void *ace = nullptr;
        if (!GetAce(dacl, i, &ace) ||
            static_cast<ACE_HEADER *>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(ace);
        if (IsWellKnownSid(&allowed->SidStart, WinBuiltinUsersSid)) {
            found.rights |= allowed->Mask;
            found.flags |= allowed->Header.AceFlags;
        }
    }
    return found;
}

UsersEntry usersEntry(const QString &path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    if (GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    const UsersEntry found = usersEntryOf(dacl);
    LocalFree(descriptor);
    return found;
}

} // namespace

void TestWindows::ownCallAnswersTheSharedFolder()
{
    // The known folder, checked against the environment's idea of it.
    const QString expected = qEnvironmentVariable("ProgramData") + QStringLiteral("\\Vorandi");
    QByteArray buffer(128, 'x');
    const std::uint32_t n = records::GetWindowsDirectoryA(buffer.data(), 128);
    const QString answer = QString::fromLocal8Bit(buffer.left(qsizetype(n)));
    QCOMPARE(answer.toLower(), expected.toLower());
    QCOMPARE(buffer.at(qsizetype(n)), '\0');
    QCOMPARE(buffer.mid(qsizetype(n) + 1), QByteArray(127 - qsizetype(n), 'x'));
    QVERIFY(QFileInfo(answer).isDir());
    QVERIFY(records::GetSystemDir().endsWith(QStringLiteral("\\Vorandi\\")));
}

void TestWindows::folderRightsLetEveryAccountPlay()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    QVERIFY(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        records::recordFolderSddl, SDDL_REVISION_1, &descriptor, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    QVERIFY(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    QVERIFY(GetSecurityDescriptorControl(descriptor, &control, &revision));
    const UsersEntry users = usersEntryOf(dacl);
    LocalFree(descriptor);
    QVERIFY(present && dacl);
    QCOMPARE(users.rights, modify); // and not the right to change rights or take ownership
    QCOMPARE(users.flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
             OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    QVERIFY(!(users.flags & INHERIT_ONLY_ACE));
    // Administrators and SYSTEM keep what the parent folder gives them.
    QVERIFY(!(control & SE_DACL_PROTECTED));
}

void TestWindows::folderAndFilesGrantUsersModify()
{
    QTemporaryDir base;
    const QString dir = base.path() + QStringLiteral("/Vorandi");
    records::prepareRecordFolder(QDir::toNativeSeparators(dir), {});
    QVERIFY(QFileInfo(dir).isDir());
    const UsersEntry folder = usersEntry(dir);
    if (folder.rights == 0 && runsUnderWine())
        QSKIP("Wine keeps no access-control list of its own for a folder");
    QCOMPARE(folder.rights & modify, modify);
    QVERIFY(folder.flags & OBJECT_INHERIT_ACE);
    QVERIFY(folder.flags & CONTAINER_INHERIT_ACE);

    // A game's files, made by the start and replaced by a save, inherit the right.
    GameSeams seams(dir);
    Tavola game(seams.services());
    seams.start(game);
    answer(game, rightAnswer(game));
    seams.dialogs.answer(vbYes);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.cmdExit->click());
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("1\r\n"));
    for (const QString &name : {records::scoreFileName, records::nameFileName}) {
        const UsersEntry file = usersEntry(seams.path(name));
        QCOMPARE(file.rights & modify, modify);
        QVERIFY(file.flags & INHERITED_ACE);
    }
}

void TestWindows::oldRecordIsTakenOver_data()
{
    addColumns<Pair, Pair, Pair, Pair>({"windows", "virtualStore", "already", "expected"});
    const Pair none{"<missing>", "<missing>"};
    const Pair old{"12\r\n", "Nicol\xF2\r\n"};
    const Pair higher{"15\r\n", "Bea\r\n"};
    const Pair empty{"", ""};
    QTest::newRow("windows directory") << old << none << none << old;
    QTest::newRow("virtual store copy") << none << old << none << old;
    QTest::newRow("the higher of both") << old << higher << none << higher;
    QTest::newRow("over the empty pair of a first start") << old << none << empty << old;
    QTest::newRow("a record of its own is kept") << higher << none << old << old;
    QTest::newRow("a score without a name is no pair")
        << Pair{"12\r\n", "<missing>"} << none << none << none;
    QTest::newRow("an empty old pair is no record") << empty << none << none << none;
    QTest::newRow("a hand-edited pair, unchanged")
        << Pair{"7.5 punti\r\naltro\r\n", "A\r\nB"} << none << none
        << Pair{"7.5 punti\r\naltro\r\n", "A\r\nB"};
}

void TestWindows::oldRecordIsTakenOver()
{
    QFETCH(Pair, windows);
    QFETCH(Pair, virtualStore);
    QFETCH(Pair, already);
    QFETCH(Pair, expected);
    QTemporaryDir base;
    const QString windowsDir = base.path() + QStringLiteral("/WINDOWS");
    const QString storeDir = base.path() + QStringLiteral("/VirtualStore/WINDOWS");
    const QString dir = base.path() + QStringLiteral("/ProgramData/Vorandi");
    putPair(windowsDir, windows);
    putPair(storeDir, virtualStore);
    if (already.score != "<missing>")
        putPair(dir, already);
    records::prepareRecordFolder(QDir::toNativeSeparators(dir),
                                 {QDir::toNativeSeparators(windowsDir), storeDir});
    QCOMPARE(readFile(dir + QStringLiteral("/vora.txt")), expected.score);
    QCOMPARE(readFile(dir + QStringLiteral("/nvora.txt")), expected.name);
    // The old places are left as they were.
    QCOMPARE(readFile(windowsDir + QStringLiteral("/vora.txt")), windows.score);
    QCOMPARE(readFile(storeDir + QStringLiteral("/nvora.txt")), virtualStore.name);
}

void TestWindows::folderThatCannotBeMadeIsNamed()
{
    QTemporaryDir base;
    const QString file = base.path() + QStringLiteral("/ProgramData");
    writeFile(file, "x");
    try {
        records::prepareRecordFolder(file + QStringLiteral("/Vorandi"), {});
        QFAIL("a folder under a file was made");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.message(), QStringLiteral("Errore sulla cartella %1: non si può creare, al "
                                                 "suo posto c'è un file.")
                                      .arg(QDir::toNativeSeparators(file)));
    }
}

void TestWindows::gameSavesInAnUnusualPlace_data()
{
    addColumns<QString>({"leaf"});
    QTest::newRow("accented") << QStringLiteral("Niccolò");
    // Folders a school's network profile can reach: past the 260 characters of the plain form.
    QTest::newRow("past 260 characters")
        << QStringList(6, QStringLiteral("Una cartella dal nome lungo come quelli di una scuola"))
               .join(u'/');
}

void TestWindows::gameSavesInAnUnusualPlace()
{
    QFETCH(QString, leaf);
    QTemporaryDir base;
    const QString dir = base.path() + u'/' + leaf;
    records::prepareRecordFolder(dir, {});
    GameSeams seams(dir);
    Tavola game(seams.services());
    seams.start(game, QStringLiteral("Nicolò"));
    answer(game, rightAnswer(game));
    seams.dialogs.answer(vbYes);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.cmdExit->click());
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("1\r\n"));
    QCOMPARE(seams.bytes(records::nameFileName), QByteArray("Nicol\xF2\r\n"));
}

void TestWindows::longPathsTakeTheVerbatimForm_data()
{
    addColumns<QString, QString>({"path", "wide"});
    const QString deep = QStringList(30, QStringLiteral("cartella")).join(u'/');
    const QString deepNative = QDir::toNativeSeparators(deep);
    QTest::newRow("short, unchanged") << "C:/ProgramData/Vorandi/vora.txt"
                                      << "C:\\ProgramData\\Vorandi\\vora.txt";
    QTest::newRow("long, on a drive") << "C:/" + deep << "\\\\?\\C:\\" + deepNative;
    QTest::newRow("long, with a step back resolved") << "C:/" + deep + "/x/../vora.txt"
                                                     << "\\\\?\\C:\\" + deepNative + "\\vora.txt";
    QTest::newRow("long, on a network share")
        << "//server/share/" + deep << "\\\\?\\UNC\\server\\share\\" + deepNative;
    QTest::newRow("long, already verbatim")
        << "\\\\?\\C:\\" + deepNative << "\\\\?\\C:\\" + deepNative;
    QTest::newRow("long, relative: left as it is") << deep << deepNative;
}

void TestWindows::longPathsTakeTheVerbatimForm()
{
    QFETCH(QString, path);
    QFETCH(QString, wide);
    QCOMPARE(QString::fromStdWString(widePath(path)), wide);
}

// What Windows reads from the program file before it starts it.
void TestWindows::programCarriesItsManifest()
{
    const std::wstring program = QStringLiteral(VORANDI_EXE).toStdWString();
    const HMODULE module = LoadLibraryExW(
        program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    QVERIFY2(module, VORANDI_EXE);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    QVERIFY(found);
    const auto *text = static_cast<const char *>(LockResource(LoadResource(module, found)));
    const QByteArray manifest(text, qsizetype(SizeofResource(module, found)));
    FreeLibrary(module);
    for (const char *wanted :
         {"<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", ">PerMonitorV2<",
          ">true</longPathAware>", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "level=\"asInvoker\""})
        QVERIFY2(manifest.contains(wanted), wanted);
}

void TestWindows::installerNamesTheRecordFolder_data()
{
    addColumns<QString, QString>({"named", "expected"});
    const QString lab =
        QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/Lab 2/Record"));
    QTest::newRow("a lab's folder") << lab << lab;
    QTest::newRow("with spaces around") << QStringLiteral("  ") + lab + u' ' << lab;
    QTest::newRow("none: the machine's folder")
        << QString() << qEnvironmentVariable("ProgramData") + QStringLiteral("\\Vorandi");
    QTest::newRow("a relative name is refused") << QStringLiteral("Record") << QString();
}

// What the installer's RECORDDIR writes, read back by the game: machine-wide, in the registry.
void TestWindows::installerNamesTheRecordFolder()
{
    QFETCH(QString, named);
    QFETCH(QString, expected);
    QSettings machine(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Vorandi"),
                      QSettings::Registry64Format);
    machine.setValue(QStringLiteral("RecordDir"), named);
    machine.sync();
    if (machine.status() != QSettings::NoError)
        QSKIP("only an administrator may write the machine's registry");
    const auto cleanup = qScopeGuard([&machine] {
        machine.remove(QStringLiteral("RecordDir"));
        machine.sync();
        QDir(QDir::tempPath() + QStringLiteral("/Lab 2")).removeRecursively();
    });
    try {
        const QString dir = records::recordDirectory();
        QCOMPARE(dir.toLower(), expected.toLower());
        QVERIFY(QFileInfo(dir).isDir());
    } catch (const RuntimeError &error) {
        QVERIFY2(expected.isEmpty(), qPrintable(error.message()));
        QVERIFY(error.message().contains(QStringLiteral("(Record) non è un percorso completo")));
    }
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
