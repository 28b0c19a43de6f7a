// SPDX-License-Identifier: GPL-3.0-or-later
// The menu bar by real clicks and keys: NUOVO GIOCO at any moment, the two notices inert.
#include "columns.h"
#include "fixture.h"
#include "rules/texts.h"

#include <QMenu>
#include <QMenuBar>

using namespace platform;

class TestMenus : public QObject {
    Q_OBJECT
private slots:
    void barAsDesigned();
    void newGameAskedAtAnyMoment_data();
    void newGameAskedAtAnyMoment();
    void newGameConfirmedStartsAgain_data();
    void newGameConfirmedStartsAgain();
    void noticesDoNothing_data();
    void noticesDoNothing();
};

namespace {

const QString &newGamePrompt = game::text::newGameQuestion;

enum class Way { Mouse, Keyboard };

} // namespace

Q_DECLARE_METATYPE(Way)

namespace {

// What a menu choice must leave alone when it changes nothing.
struct Snapshot {
    QWidget *window;
    QWidget *focus;
    int base, exponent, correct, wrong;
    QString answer, message, score;
    Long back;
    bool nextEnabled, ticking;
    qsizetype boxes;

    bool operator==(const Snapshot &) const = default;
};

Snapshot snapshot(Tavola &game, const GameSeams &seams)
{
    return {game.window(),
            QApplication::focusWidget(),
            game.drill().base(),
            game.drill().exponent(),
            game.drill().correct(),
            game.drill().wrong(),
            game.txtAnswer->text(),
            game.lblMessage->Caption(),
            game.lblScore2->Caption(),
            game.BackColor(),
            game.cmdNext->isEnabled(),
            game.Timer1->isRunning(),
            seams.dialogs.calls().size()};
}

QMenuBar *bar(Tavola &game)
{
    return game.window()->menuBar();
}

QWindow *handle(Tavola &game)
{
    return game.window()->windowHandle();
}

// Alt pressed and released alone puts the bar in keyboard mode on its first entry.
void enterMenuBar(Tavola &game)
{
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    QTest::keyEvent(QTest::Press, handle(game), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyEvent(QTest::Release, handle(game), Qt::Key_Alt, Qt::NoModifier);
    QTRY_VERIFY(bar(game)->hasFocus());
}

void chooseNewGame(Tavola &game, Way way)
{
    if (way == Way::Mouse) {
        QTest::mouseClick(bar(game), Qt::LeftButton, {},
                          bar(game)->actionGeometry(game.Next).center());
        return;
    }
    enterMenuBar(game);
    QTest::keyClick(handle(game), Qt::Key_Right);
    QTest::keyClick(handle(game), Qt::Key_Right);
    QTest::keyClick(handle(game), Qt::Key_Return);
}

// Opens the entry's list and chooses its one item.
void chooseItem(Tavola &game, QAction *entry, QAction *item, Way way)
{
    QMenu *menu = entry->menu();
    if (way == Way::Mouse) {
        QTest::mouseClick(bar(game), Qt::LeftButton, {}, bar(game)->actionGeometry(entry).center());
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    } else {
        enterMenuBar(game);
        if (entry != game.INFOMAZIONI)
            QTest::keyClick(handle(game), Qt::Key_Right);
        QTest::keyClick(handle(game), Qt::Key_Down);
        QTRY_VERIFY(menu->isVisible());
        QTRY_COMPARE(menu->activeAction(), item);
        QTest::keyClick(menu->windowHandle(), Qt::Key_Return);
    }
    QTRY_VERIFY(!menu->isVisible());
}

} // namespace

void TestMenus::barAsDesigned()
{
    auto &&[seams, game] = StartedGame();
    QStringList captions;
    for (QAction *a : bar(game)->actions())
        captions << a->text();
    QCOMPARE(captions, QStringList({QStringLiteral("INFORMAZIONI"), QStringLiteral("COPYRIGHT"),
                                    QStringLiteral("NUOVO GIOCO")}));
    QVERIFY(!game.Next->menu());
    QCOMPARE(game.INFOMAZIONI->menu()->actions(), QList<QAction *>({game.Ciao}));
    QCOMPARE(game.copyr->menu()->actions(), QList<QAction *>({game.copy}));
    QCOMPARE(game.Ciao->text().size(), 108);
    QCOMPARE(game.copy->text().size(), 61);
    for (QAction *a : {game.INFOMAZIONI, game.copyr, game.Next, game.Ciao, game.copy})
        QVERIFY2(!a->text().contains(u'&'), qPrintable(a->text())); // no access keys
    // The list under INFORMAZIONI is as wide as its sentence.
    QMenu *info = game.INFOMAZIONI->menu();
    QVERIFY(info->sizeHint().width() >= info->fontMetrics().horizontalAdvance(game.Ciao->text()));
}

void TestMenus::newGameAskedAtAnyMoment_data()
{
    addColumns<Way, bool>({"way", "answered"});
    QTest::newRow("mouse, cmdNext disabled") << Way::Mouse << false;
    QTest::newRow("mouse, after an answer") << Way::Mouse << true;
    QTest::newRow("keyboard, cmdNext disabled") << Way::Keyboard << false;
    QTest::newRow("keyboard, after an answer") << Way::Keyboard << true;
}

// Declining keeps the game exactly as it was.
void TestMenus::newGameAskedAtAnyMoment()
{
    QFETCH(Way, way);
    QFETCH(bool, answered);
    auto &&[seams, game] = StartedGame();
    if (answered)
        answer(game, rightAnswer(game));
    QCOMPARE(game.cmdNext->isEnabled(), answered);
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbNo);
    Snapshot before = snapshot(game, seams);
    chooseNewGame(game, way);
    QTRY_COMPARE(seams.dialogs.calls().size(), qsizetype(1));
    const auto &box = seams.dialogs.calls().constFirst();
    QCOMPARE(box.prompt, newGamePrompt);
    QCOMPARE(box.style, vbYesNo | vbQuestion | vbDefaultButton2);
    QCOMPARE(box.title, game::text::newGameTitle);
    before.boxes = 1;
    QTRY_VERIFY(!bar(game)->hasFocus()); // the bar lets go of the keyboard
    QCOMPARE(snapshot(game, seams), before);
}

void TestMenus::newGameConfirmedStartsAgain_data()
{
    QTest::addColumn<Way>("way");
    QTest::newRow("mouse") << Way::Mouse;
    QTest::newRow("keyboard") << Way::Keyboard;
}

void TestMenus::newGameConfirmedStartsAgain()
{
    QFETCH(Way, way);
    auto &&[seams, game] = StartedGame();
    answer(game, rightAnswer(game));
    QCOMPARE(game.lblScore->Caption(), QStringLiteral("1"));
    QPointer<FormWindow> old = game.window();
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbYes);
    seams.dialogs.answer(vbOK); // the score of 1 beat the empty record: saved and confirmed
    seams.dialogs.type(QStringLiteral("Bruno"));
    seams.dialogs.answer(vbOK);
    chooseNewGame(game, way);
    QTRY_VERIFY(old.isNull());
    QVERIFY(game.isLoaded());
    const QStringList prompts = seams.dialogs.prompts();
    QCOMPARE(prompts.size(), 4);
    QCOMPARE(prompts.at(0), newGamePrompt);
    QVERIFY(prompts.at(1).startsWith(QStringLiteral("Ok ho registrato")));
    QCOMPARE(prompts.at(2), game::text::namePrompt);
    QCOMPARE(seams.dialogs.pendingAnswers(), qsizetype(0));
    QCOMPARE(game.lblnome1->Caption(), QStringLiteral("Bruno"));
    QCOMPARE(game.lblScore->Caption(), QStringLiteral("0"));
    QCOMPARE(game.lblScore2->Caption(), QStringLiteral("0"));
    QVERIFY(!game.cmdNext->isEnabled());
    QCOMPARE(game.lblnome->Caption(), QStringLiteral("Anna\r\n")); // the new record shows
    QCOMPARE(seams.bytes(records::scoreFileName), QByteArray("1\r\n"));
}

void TestMenus::noticesDoNothing_data()
{
    addColumns<Way, bool>({"way", "copyright"});
    QTest::newRow("Ciao by mouse") << Way::Mouse << false;
    QTest::newRow("copy by mouse") << Way::Mouse << true;
    QTest::newRow("Ciao by keyboard") << Way::Keyboard << false;
    QTest::newRow("copy by keyboard") << Way::Keyboard << true;
}

void TestMenus::noticesDoNothing()
{
    QFETCH(Way, way);
    QFETCH(bool, copyright);
    auto &&[seams, game] = StartedGame();
    answer(game, QString::number(game.drill().expectedAnswer() + 1));
    QAction *entry = copyright ? game.copyr : game.INFOMAZIONI;
    QAction *item = copyright ? game.copy : game.Ciao;
    QSignalSpy chosen(item, &QAction::triggered);
    const Snapshot before = snapshot(game, seams);
    chooseItem(game, entry, item, way);
    QCOMPARE(chosen.count(), 1);
    QTRY_VERIFY(!bar(game)->hasFocus());
    QCOMPARE(snapshot(game, seams), before);
}

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
