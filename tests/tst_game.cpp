// SPDX-License-Identifier: GPL-3.0-or-later
// A whole game: its start, the countdown tick by tick, and its three ends with the record check.
#include "columns.h"
#include "fixture.h"
#include "platform/files.h"
#include "rules/texts.h"

#include <QDir>
#include <QMenuBar>
#include <QPointer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace platform;

class TestGame : public QObject {
    Q_OBJECT
private slots:
    void startAsksNameAndGreetsBeforeShowing_data();
    void startAsksNameAndGreetsBeforeShowing();
    void startShowsTheStoredRecord();
    void clockCountsDown_data();
    void clockCountsDown();
    void everyTickKeepsTheClockInStep();
    void gameRunsOutOnTheTickAfterZero_data();
    void gameRunsOutOnTheTickAfterZero();
    void exitAnsweredNoGoesOn();
    void exitByKeyboardAsksFirst();
    void exitAnsweredYes_data();
    void exitAnsweredYes();
    void newGame_data();
    void newGame();
    void newGameAnsweredNoGoesOn();
    void newGameRestartsTheClock();
    void ticksAreHeldWhileABoxIsOpen();
    void goodbyeIsNotEnteredTwice();
    void minimizedCaptionShowsMinutes_data();
    void minimizedCaptionShowsMinutes();
    void closeButtonSettlesTheRecord_data();
    void closeButtonSettlesTheRecord();
    void newGamesLeaveNothingBehind();
    void aMissingServiceIsRefused_data();
    void aMissingServiceIsRefused();
};

namespace {

const QString &savedText = game::text::recordSaved;
const QString &exitQuestion = game::text::leaveQuestion;
const QString &newGameQuestion = game::text::newGameQuestion;

void tick(Tavola &game, int count)
{
    for (int i = 0; i < count; ++i)
        game.Timer1_Timer();
}

void answerWrong(Tavola &game)
{
    answer(game, QString::number(game.drill().expectedAnswer() + 1));
}

// Stores a record before the game starts; "<none>" leaves the files missing.
void storeRecord(const GameSeams &seams, const QByteArray &score, const QByteArray &name)
{
    if (score != "<none>")
        seams.write(records::scoreFileName, score);
    if (name != "<none>")
        seams.write(records::nameFileName, name);
}

int boxesShown(const ScriptedDialogs &dialogs, const QString &prompt)
{
    return int(dialogs.prompts().count(prompt));
}

// Whether a title names the game's date (GameSeams::today, 25 December 2031) in any short
// format: the day and the year, in whatever order and words the system's language writes them.
bool titleNamesGameDate(const QString &title)
{
    const QString before = game::text::goodbyeTitle.section(QStringLiteral("%1"), 0, 0);
    const QString date = title.mid(before.size());
    return title.startsWith(before) && date.contains(QStringLiteral("25")) &&
           date.contains(QStringLiteral("31"));
}

int liveWidgets()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return int(QApplication::allWidgets().size());
}

#ifdef Q_OS_WIN
// Windows has no descriptor table to read, and under Wine the process's handle count moves with
// Wine's own handles. A file of the record directory that the game still holds open refuses an
// open that shares nothing: that is what the game itself could leak.
int openDescriptors(const QString &recordDir)
{
    int held = 0;
    const QDir dir(recordDir);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const std::wstring path = QDir::toNativeSeparators(dir.filePath(name)).toStdWString();
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            held += GetLastError() == ERROR_SHARING_VIOLATION ? 1 : 0;
        else
            CloseHandle(h);
    }
    return held;
}
#else
int openDescriptors(const QString &)
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}
#endif

// Queues the answers of a confirmed new game and of the next game's name prompt and greeting.
void scriptNewGame(ScriptedDialogs &dialogs, const QString &nextName,
                   ScriptedDialogs::Action whileNamePrompt = {})
{
    dialogs.answer(vbYes);
    dialogs.type(nextName, std::move(whileNamePrompt));
    dialogs.answer(vbOK);
}

void chooseNewGameFromTheMenu(Tavola &game)
{
    QMenuBar *bar = game.window()->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(game.Next).center());
}

} // namespace

void TestGame::startAsksNameAndGreetsBeforeShowing_data()
{
    addColumns<bool, QString, QString>({"cancel", "typed", "greeting"});
    QTest::newRow("a name") << false << "Anna" << game::text::greeting.arg("Anna");
    QTest::newRow("blanks kept") << false << " Anna  " << game::text::greeting.arg(" Anna  ");
    QTest::newRow("cancel") << true << "" << game::text::greeting.arg("");
}

void TestGame::startAsksNameAndGreetsBeforeShowing()
{
    QFETCH(bool, cancel);
    QFETCH(QString, typed);
    QFETCH(QString, greeting);
    GameSeams seams;
    Tavola game(seams.services());
    // Neither box may cost the player time, and the window waits for both.
    auto beforeShowing = [&game](const ScriptedDialogs::Call &) {
        QVERIFY(game.window() && !game.window()->isVisible());
        QVERIFY(!game.Timer1->Enabled());
        QCOMPARE(game.lblconto->Caption(), QStringLiteral("00.00.00"));
        QCOMPARE(game.lblnome1->Caption(), QString());
        QCOMPARE(int(game.drill().base()), 0); // no question before the activation
    };
    if (cancel)
        seams.dialogs.cancel(beforeShowing);
    else
        seams.dialogs.type(typed, beforeShowing);
    seams.dialogs.answer(vbOK, beforeShowing);
    game.Show();
    QVERIFY(!QTest::currentTestFailed());

    const auto &calls = seams.dialogs.calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].kind, ScriptedDialogs::Kind::Input);
    QCOMPARE(calls[0].prompt, game::text::namePrompt);
    QCOMPARE(calls[0].title, QStringLiteral("Vorandi"));
    QCOMPARE(calls[1].prompt, greeting);
    QCOMPARE(calls[1].style, 0);
    QCOMPARE(calls[1].title, QStringLiteral("Vorandi"));

    QVERIFY(game.window()->isVisible());
    QCOMPARE(game.lblnome1->Caption(), typed);
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds));
    QCOMPARE(int(game.drill().secondsLeft()), game::gameSeconds);
    QVERIFY(game.Timer1->Enabled());
    QVERIFY(game.Timer1->isRunning());
    QCOMPARE(game.Timer1->Interval(), 1000);
    QCOMPARE(game.Caption(), QStringLiteral("Vorandi"));
    QVERIFY(game.drill().base() >= game::baseMin && game.drill().base() <= game::baseMax);
    QCOMPARE(game.lblNum1->Caption(), QString::number(game.drill().base()));
    // First start on this machine: both files made empty, the record shown empty.
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray());
    QCOMPARE(seams.bytes(records::nameFileName), QByteArray());
    QCOMPARE(game.lblpunti->Caption(), QString());
    QCOMPARE(game.lblnome->Caption(), QString());
    QCOMPARE(openFileCount(), 0);
}

void TestGame::startShowsTheStoredRecord()
{
    GameSeams seams;
    storeRecord(seams, "12\r\n", "Bea\r\n");
    Tavola game(seams.services());
    seams.start(game);
    QCOMPARE(game.lblpunti->Caption(), QStringLiteral("12\r\n"));
    QCOMPARE(game.lblnome->Caption(), QStringLiteral("Bea\r\n"));
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("12\r\n"));
    QCOMPARE(seams.bytes(records::nameFileName), QByteArray("Bea\r\n"));
}

void TestGame::clockCountsDown_data()
{
    addColumns<int>({"ticks"});
    for (int ticks : {0, 1, 59, 60, 61, game::gameSeconds - 1, game::gameSeconds})
        QTest::addRow("tick %d", ticks) << ticks;
}

void TestGame::clockCountsDown()
{
    QFETCH(int, ticks);
    auto &&[seams, game] = StartedGame();
    tick(game, ticks);
    const int left = game::gameSeconds - ticks;
    QCOMPARE(game.lblconto->Caption(), game::clockText(left));
    QCOMPARE(game.drill().minutesLeft(), left / 60);
    QCOMPARE(int(game.drill().secondsLeft()), left);
    QCOMPARE(game.Caption(), QStringLiteral("Vorandi")); // ticks leave the caption alone
}

void TestGame::everyTickKeepsTheClockInStep()
{
    auto &&[seams, game] = StartedGame();
    for (int n = 0; n <= game::gameSeconds; ++n) {
        const int t = game::gameSeconds - n;
        QCOMPARE(game.lblconto->Caption(), game::clockText(t));
        QCOMPARE(int(game.drill().secondsLeft()), t);
        if (n < game::gameSeconds)
            game.Timer1_Timer();
    }
}

void TestGame::gameRunsOutOnTheTickAfterZero_data()
{
    addColumns<QByteArray, QByteArray, QString, int, bool, QByteArray, QByteArray>(
        {"storedScore", "storedName", "name", "right", "saved", "scoreFile", "nameFile"});
    QTest::newRow("first game, two right")
        << QByteArray("<none>") << QByteArray("<none>") << "Anna" << 2 << true
        << QByteArray("2\r\n") << QByteArray("Anna\r\n");
    QTest::newRow("first game, none right") << QByteArray("<none>") << QByteArray("<none>")
                                            << "Anna" << 0 << false << QByteArray() << QByteArray();
    QTest::newRow("equal to the record")
        << QByteArray("12\r\n") << QByteArray("Bea\r\n") << "Anna" << 12 << false
        << QByteArray("12\r\n") << QByteArray("Bea\r\n");
    QTest::newRow("one above the record")
        << QByteArray("12\r\n") << QByteArray("Bea\r\n") << "Anna" << 13 << true
        << QByteArray("13\r\n") << QByteArray("Anna\r\n");
    QTest::newRow("no name beats it") << QByteArray("") << QByteArray("Bea\r\n") << "" << 1 << true
                                      << QByteArray("1\r\n") << QByteArray("\r\n");
}

void TestGame::gameRunsOutOnTheTickAfterZero()
{
    QFETCH(QByteArray, storedScore);
    QFETCH(QByteArray, storedName);
    QFETCH(QString, name);
    QFETCH(int, right);
    QFETCH(bool, saved);
    QFETCH(QByteArray, scoreFile);
    QFETCH(QByteArray, nameFile);
    GameSeams seams;
    storeRecord(seams, storedScore, storedName);
    Tavola game(seams.services());
    seams.start(game, name);
    answerRight(game, std::max(right - 1, 0));
    tick(game, game::gameSeconds);
    QCOMPARE(game.lblconto->Caption(), QStringLiteral("00:00:00"));
    QCOMPARE(int(game.drill().secondsLeft()), 0);
    // The clock at zero still takes answers until the next tick.
    if (right > 0)
        answer(game, rightAnswer(game));
    else
        answerWrong(game);
    QCOMPARE(int(game.drill().correct()), right);
    QCOMPARE(game.lblScore2->Caption(), QString::number(std::max(right, 1)));

    seams.dialogs.clearCalls();
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.Timer1_Timer());
    const auto &calls = seams.dialogs.calls();
    QCOMPARE(calls.size(), saved ? 2 : 1);
    QCOMPARE(calls[0].prompt, game::text::goodbye.arg(0));
    QCOMPARE(calls[0].style, 0);
    QVERIFY2(titleNamesGameDate(calls[0].title), qPrintable(calls[0].title));
    QCOMPARE(calls[0].spoken, game::text::goodbyeSpoken.arg(right).arg(std::max(right, 1)) +
                                  (saved ? game::text::recordBeaten : game::text::recordNotBeaten));
    if (saved) {
        QCOMPARE(calls[1].prompt, savedText);
        QCOMPARE(calls[1].style, 0);
        QCOMPARE(calls[1].title, QStringLiteral("Vorandi"));
    }
    QCOMPARE(game.lblconto->Caption(), QStringLiteral("00:00:00"));
    QCOMPARE(int(game.drill().secondsLeft()), 0);
    QCOMPARE(seams.bytes(records::scoreFileName), scoreFile);
    QCOMPARE(seams.bytes(records::nameFileName), nameFile);
    QCOMPARE(openFileCount(), 0);
}

void TestGame::exitAnsweredNoGoesOn()
{
    auto &&[seams, game] = StartedGame();
    answerRight(game, 2);
    tick(game, 5);
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbNo);
    QTest::mouseClick(game.cmdExit, Qt::LeftButton);
    const auto &calls = seams.dialogs.calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].prompt, exitQuestion);
    QCOMPARE(calls[0].style, 292);
    QCOMPARE(calls[0].title, game::text::leaveTitle);
    QVERIFY(game.isLoaded());
    QVERIFY(game.Timer1->Enabled());
    QVERIFY(game.Timer1->isRunning());
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray());
    QCOMPARE(int(game.drill().correct()), 2);
    game.Timer1_Timer();
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds - 6));
}

void TestGame::exitByKeyboardAsksFirst()
{
    auto &&[seams, game] = StartedGame();
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbNo);
    QTest::keyClick(game.window()->windowHandle(), Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(seams.dialogs.prompts(), QStringList{exitQuestion});
    QVERIFY(game.isLoaded());
}

void TestGame::exitAnsweredYes_data()
{
    // As a browser plays: the record saved as soon as it is beaten, confirmed at the end.
    addColumns<int, bool, bool>({"right", "saved", "asItGrows"});
    QTest::newRow("record beaten") << 3 << true << false;
    QTest::newRow("record equalled") << 2 << false << false;
    QTest::newRow("beaten, saved as it grows") << 4 << true << true;
    QTest::newRow("equalled, saved as it grows") << 2 << false << true;
}

void TestGame::exitAnsweredYes()
{
    QFETCH(int, right);
    QFETCH(bool, saved);
    QFETCH(bool, asItGrows);
    GameSeams seams;
    storeRecord(seams, "2\r\n", "Bea\r\n");
    game::Services services = seams.services();
    services.saveAsScoreGrows = asItGrows;
    Tavola game(services);
    seams.start(game, QStringLiteral("Zoë"));
    answerRight(game, right);
    const QByteArray scoreSoFar = saved && asItGrows ? QByteArray::number(right) + "\r\n" : "2\r\n";
    QCOMPARE(seams.bytes(records::scoreFileName), scoreSoFar);
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbYes);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.cmdExit->click());
    QStringList expected{exitQuestion};
    if (saved)
        expected << savedText;
    QCOMPARE(seams.dialogs.prompts(), expected); // no goodbye box on this way out
    QCOMPARE(seams.bytes(records::scoreFileName),
             saved ? QByteArray::number(right) + "\r\n" : "2\r\n");
    QCOMPARE(seams.bytes(records::nameFileName), saved ? QByteArray("Zo\xEB\r\n") : "Bea\r\n");
}

void TestGame::newGame_data()
{
    addColumns<QByteArray, int, bool>({"storedScore", "right", "saved"});
    QTest::newRow("record beaten") << QByteArray("<none>") << 3 << true;
    QTest::newRow("record kept") << QByteArray("12\r\n") << 2 << false;
}

void TestGame::newGame()
{
    QFETCH(QByteArray, storedScore);
    QFETCH(int, right);
    QFETCH(bool, saved);
    GameSeams seams;
    storeRecord(seams, storedScore, "Bea\r\n");
    Tavola game(seams.services());
    seams.start(game);
    answerRight(game, right);
    answerWrong(game);
    tick(game, 7);
    QPointer<FormWindow> first = game.window();

    seams.dialogs.clearCalls();
    // While the next game asks the name, the old window is gone from the screen and the new one
    // is not on it yet.
    scriptNewGame(seams.dialogs, QStringLiteral("Carla"), [&](const ScriptedDialogs::Call &) {
        QVERIFY(first && !first->isVisible());
        QVERIFY(game.window() != first && !game.window()->isVisible());
    });
    chooseNewGameFromTheMenu(game);
    QVERIFY(!QTest::currentTestFailed());

    QStringList expected{newGameQuestion};
    if (saved)
        expected << savedText;
    expected << game::text::namePrompt << game::text::greeting.arg("Carla");
    QCOMPARE(seams.dialogs.prompts(), expected);
    QCOMPARE(seams.dialogs.calls().constFirst().style, 292);
    QCOMPARE(seams.dialogs.calls().constFirst().title, game::text::newGameTitle);

    const QByteArray scoreNow = saved ? QByteArray::number(right) + "\r\n" : storedScore;
    const QByteArray nameNow = saved ? QByteArray("Anna\r\n") : QByteArray("Bea\r\n");
    QCOMPARE(seams.bytes(records::scoreFileName), scoreNow);
    QCOMPARE(seams.bytes(records::nameFileName), nameNow);

    // The next game starts from the controls as designed, with the record read again.
    QVERIFY(game.window() != first);
    QVERIFY(game.window()->isVisible());
    QCOMPARE(game.lblpunti->Caption(), QString::fromLatin1(scoreNow));
    QCOMPARE(game.lblnome->Caption(), QString::fromLatin1(nameNow));
    QCOMPARE(game.lblnome1->Caption(), QStringLiteral("Carla"));
    QCOMPARE(game.lblScore->Caption(), QStringLiteral("0"));
    QCOMPARE(game.lblScore1->Caption(), QStringLiteral("0"));
    QCOMPARE(game.lblScore2->Caption(), QStringLiteral("0"));
    QCOMPARE(int(game.drill().correct()), 0);
    QCOMPARE(int(game.drill().wrong()), 0);
    QCOMPARE(game.lblMessage->Caption(), QString());
    QCOMPARE(game.txtAnswer->text(), QString());
    QVERIFY(!game.cmdNext->isEnabled());
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds));
    QCOMPARE(int(game.drill().secondsLeft()), game::gameSeconds);
    QCOMPARE(game.Caption(), QStringLiteral("Vorandi"));
    QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
}

void TestGame::newGameAnsweredNoGoesOn()
{
    auto &&[seams, game] = StartedGame();
    answerRight(game, 1);
    tick(game, 3);
    QPointer<FormWindow> first = game.window();
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbNo);
    chooseNewGameFromTheMenu(game);
    QCOMPARE(seams.dialogs.prompts(), QStringList{newGameQuestion});
    QCOMPARE(game.window(), first.data());
    QCOMPARE(game.lblScore->Caption(), QStringLiteral("1"));
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds - 3));
    QVERIFY(game.Timer1->isRunning());
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray());
}

void TestGame::newGameRestartsTheClock()
{
    auto &&[seams, game] = StartedGame();
    tick(game, game::gameSeconds - 190);
    QCOMPARE(game.lblconto->Caption(), game::clockText(190));
    scriptNewGame(seams.dialogs, QStringLiteral("Bea"));
    game.Next_Click();
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds));
    QCOMPARE(int(game.drill().secondsLeft()), game::gameSeconds);
    QVERIFY(game.Timer1->isRunning());
    tick(game, game::gameSeconds);
    QCOMPARE(game.lblconto->Caption(), QStringLiteral("00:00:00"));
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.Timer1_Timer());
}

void TestGame::ticksAreHeldWhileABoxIsOpen()
{
    auto &&[seams, game] = StartedGame();
    // A tick outside any box moves the clock: the check below is not vacuous.
    game.Timer1->fire();
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds - 1));

    auto ticksDoNothing = [&game](const ScriptedDialogs::Call &) {
        const QString before = game.lblconto->Caption();
        game.Timer1->fire();
        game.Timer1->fire();
        QCOMPARE(game.lblconto->Caption(), before);
    };
    seams.dialogs.answer(vbNo, ticksDoNothing);
    game.cmdExit_Click();
    seams.dialogs.answer(vbNo, ticksDoNothing);
    game.Next_Click();
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds - 1));

    // At zero the countdown must not end the game under an open question; the next tick does.
    tick(game, game::gameSeconds - 1);
    QCOMPARE(game.lblconto->Caption(), QStringLiteral("00:00:00"));
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbNo, ticksDoNothing);
    game.cmdExit_Click();
    QCOMPARE(seams.dialogs.prompts(), QStringList{exitQuestion});
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.Timer1->fire());
    QCOMPARE(boxesShown(seams.dialogs, game::text::goodbye.arg(0)), 1);
}

void TestGame::goodbyeIsNotEnteredTwice()
{
    auto &&[seams, game] = StartedGame();
    answerRight(game, 1);
    tick(game, game::gameSeconds);
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbOK, [&game](const ScriptedDialogs::Call &) {
        for (int i = 0; i < 3; ++i)
            game.Timer1->fire();
    });
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.Timer1->fire());
    QCOMPARE(seams.dialogs.prompts(), (QStringList{game::text::goodbye.arg(0), savedText}));
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("1\r\n"));
}

void TestGame::minimizedCaptionShowsMinutes_data()
{
    addColumns<int, QString>({"left", "caption"});
    QTest::newRow("half a minute") << 30 << "0";
    QTest::newRow("one minute") << 60 << "1";
    QTest::newRow("a second short of two") << 119 << "1";
    QTest::newRow("two minutes") << 120 << "2";
}

void TestGame::minimizedCaptionShowsMinutes()
{
    QFETCH(int, left);
    QFETCH(QString, caption);
    auto &&[seams, game] = StartedGame();
    tick(game, game::gameSeconds - left);
    QCOMPARE(game.lblconto->Caption(), game::clockText(left));
    QCOMPARE(game.Caption(), QStringLiteral("Vorandi"));
    game.window()->showMinimized();
    QTRY_COMPARE(game.WindowState(), 1);
    QCOMPARE(game.Caption(), caption);
    QCOMPARE(game.window()->windowTitle(), caption);
    tick(game, 10);
    QCOMPARE(game.Caption(), caption);
    game.window()->showNormal();
    QTRY_COMPARE(game.WindowState(), 0);
    QCOMPARE(game.Caption(), QStringLiteral("Vorandi"));
}

void TestGame::closeButtonSettlesTheRecord_data()
{
    addColumns<int, QStringList, QByteArray>({"right", "boxes", "scoreFile"});
    QTest::newRow("record beaten") << 2 << QStringList{savedText} << QByteArray("2\r\n");
    QTest::newRow("nothing to save") << 0 << QStringList{} << QByteArray();
}

void TestGame::closeButtonSettlesTheRecord()
{
    QFETCH(int, right);
    QFETCH(QStringList, boxes);
    QFETCH(QByteArray, scoreFile);
    auto &&[seams, game] = StartedGame();
    answerRight(game, right);
    seams.dialogs.clearCalls();
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, game.window()->close());
    QCOMPARE(seams.dialogs.prompts(), boxes); // no question: closing is the answer
    QCOMPARE(seams.bytes(records::scoreFileName), scoreFile);
    QCOMPARE(seams.bytes(records::nameFileName), right ? QByteArray("Anna\r\n") : QByteArray());
}

void TestGame::newGamesLeaveNothingBehind()
{
    auto &&[seams, game] = StartedGame();
    // One new game first, so whatever Qt creates once and keeps is in the baseline.
    scriptNewGame(seams.dialogs, QStringLiteral("Anna"));
    game.Next_Click();
    const int widgets = liveWidgets();
    const int descriptors = openDescriptors(seams.dir());
    QVERIFY(widgets > 20);
    for (int i = 0; i < 50; ++i) {
        answerRight(game, 1);
        game.window()->showMinimized();
        scriptNewGame(seams.dialogs, QStringLiteral("Anna"));
        game.Next_Click();
        QCOMPARE(seams.dialogs.pendingAnswers(), 0);
        QVERIFY(QTest::qWaitForWindowActive(game.window()));
    }
    QCOMPARE(liveWidgets(), widgets);
    QCOMPARE(openDescriptors(seams.dir()), descriptors);
    QCOMPARE(openFileCount(), 0);
    QCOMPARE(game.Caption(), QStringLiteral("Vorandi"));
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("1\r\n"));
}

using Forget = void (*)(game::Services &);
Q_DECLARE_METATYPE(Forget)

void TestGame::aMissingServiceIsRefused_data()
{
    addColumns<Forget>({"forget"});
    QTest::newRow("boxes") << Forget([](game::Services &s) { s.boxes = nullptr; });
    QTest::newRow("wait") << Forget([](game::Services &s) { s.wait = nullptr; });
    QTest::newRow("calls") << Forget([](game::Services &s) { s.systemCalls = nullptr; });
    QTest::newRow("random") << Forget([](game::Services &s) { s.random.reset(); });
    QTest::newRow("directory") << Forget([](game::Services &s) { s.recordDirectory = {}; });
    QTest::newRow("end") << Forget([](game::Services &s) { s.end = {}; });
    QTest::newRow("today") << Forget([](game::Services &s) { s.today = {}; });
}

// A world with a service left out is refused before any box or file is touched.
void TestGame::aMissingServiceIsRefused()
{
    QFETCH(Forget, forget);
    GameSeams seams;
    game::Services services = seams.services();
    QVERIFY(game::complete(services));
    forget(services);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Tavola{services});
    QVERIFY(seams.dialogs.calls().empty());
}

QTEST_MAIN(TestGame)
#include "tst_game.moc"
