// SPDX-License-Identifier: GPL-3.0-or-later
// Keys only: editing keys, composed and pasted text in the answer box, the focus mark, the menu
// bar from F10, and the boxes' size on the screen.
#include "columns.h"
#include "fixture.h"

#include <QAccessible>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QInputMethodEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>

using namespace platform;

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void editingKeysEdit_data();
    void editingKeysEdit();
    void composedTextPassesTheFilter_data();
    void composedTextPassesTheFilter();
    void pastedTextPassesTheFilter();
    void focusMarkAfterAnswer();
    void enterWithoutTextScores();
    void f10ReachesNewGame();
    void keyboardNoGivesTheKeysBack();
    void altDeliveredAgainLateKeepsTheBar();
    void timeKeyLendsTheFocusToTheClock_data();
    void timeKeyLendsTheFocusToTheClock();
    void clockReadAtFiveAndOneMinuteLeft();
    void enterAfterTheVerdictReadsTheQuestion();
    void refusedKeysRing();
    void boxAsWideAsItsTitle();
    void longNameBoxStaysOnScreen();
    void shownPromptFits_data();
    void shownPromptFits();
};

namespace {

// A key as an X keyboard sends it, with the text the key carries.
void sendKey(QWidget *to, int key, Qt::KeyboardModifiers mods, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(to, &release);
}

struct Key {
    int key;
    Qt::KeyboardModifiers mods;
    QString text;
};

} // namespace

Q_DECLARE_METATYPE(Key)
Q_DECLARE_METATYPE(QList<Key>)

void TestKeyboard::editingKeysEdit_data()
{
    addColumns<QList<Key>, QString>({"keys", "expected"});
    const Key home{Qt::Key_Home, Qt::NoModifier, {}};
    const Key del{Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f")};
    QTest::newRow("Delete at the start") << QList<Key>{home, del} << "23";
    QTest::newRow("Escape") << QList<Key>{{Qt::Key_Escape, Qt::NoModifier, "\x1b"}} << "123";
    QTest::newRow("Ctrl+A then Delete")
        << QList<Key>{{Qt::Key_A, Qt::ControlModifier, "\x01"}, del} << "";
    QTest::newRow("Ctrl with a digit types nothing")
        << QList<Key>{{Qt::Key_4, Qt::ControlModifier, "4"}} << "123";
    QTest::newRow("AltGr letter") << QList<Key>{{Qt::Key_E, Qt::ControlModifier | Qt::AltModifier,
                                                 "€"}}
                                  << "123";
    QTest::newRow("AltGr digit") << QList<Key>{{Qt::Key_4, Qt::ControlModifier | Qt::AltModifier,
                                                "4"}}
                                 << "1234";
    QTest::newRow("Meta letter") << QList<Key>{{Qt::Key_A, Qt::MetaModifier, "a"}} << "123";
}

void TestKeyboard::editingKeysEdit()
{
    QFETCH(QList<Key>, keys);
    QFETCH(QString, expected);
    auto &&[seams, game] = StartedGame();
    QTest::keyClicks(game.txtAnswer, QStringLiteral("123"));
    for (const Key &k : keys)
        sendKey(game.txtAnswer, k.key, k.mods, k.text);
    QCOMPARE(game.txtAnswer->text(), expected);
    QCOMPARE(game.drill().wrong() + game.drill().correct(), 0);
}

void TestKeyboard::composedTextPassesTheFilter_data()
{
    addColumns<QString, QString, QString>({"commit", "preedit", "expected"});
    QTest::newRow("dead acute and e") << "é"
                                      << ""
                                      << "1";
    QTest::newRow("digit") << "7"
                           << ""
                           << "17";
    QTest::newRow("mixed") << "4é-x"
                           << ""
                           << "14-";
    QTest::newRow("line break scores nothing") << "2\r\n3"
                                               << ""
                                               << "123";
    QTest::newRow("still composing") << ""
                                     << "´"
                                     << "1";
    QTest::newRow("outside the 16-bit range") << "😀"
                                              << ""
                                              << "1";
}

void TestKeyboard::composedTextPassesTheFilter()
{
    QFETCH(QString, commit);
    QFETCH(QString, preedit);
    QFETCH(QString, expected);
    auto &&[seams, game] = StartedGame();
    QTest::keyClicks(game.txtAnswer, QStringLiteral("1"));
    QInputMethodEvent composed(preedit, {});
    composed.setCommitString(commit);
    QApplication::sendEvent(game.txtAnswer, &composed);
    QCOMPARE(game.txtAnswer->text(), expected);
    QCOMPARE(game.lblMessage->Caption(), QString());
    QVERIFY(!game.cmdNext->isEnabled());
}

void TestKeyboard::pastedTextPassesTheFilter()
{
    auto &&[seams, game] = StartedGame();
    QGuiApplication::clipboard()->setText(QStringLiteral("4a\r\n9é"));
    QTest::keyClick(game.txtAnswer, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("49"));
    QVERIFY(!game.cmdNext->isEnabled()); // the line break in the text scored nothing
}

namespace {

// Dark dots along the left edge of the focus mark, inside the button's face.
int markDots(QWidget *button)
{
    const QImage face = button->grab().toImage();
    int dots = 0;
    for (int y = 6; y < face.height() - 6; ++y)
        dots += qGray(face.pixel(4, y)) < 60 ? 1 : 0;
    return dots;
}

} // namespace

void TestKeyboard::focusMarkAfterAnswer()
{
    auto &&[seams, game] = StartedGame();
    answer(game, rightAnswer(game));
    QTRY_COMPARE(QApplication::focusWidget(), game.cmdNext);
    const int focused = markDots(game.cmdNext);
    QVERIFY2(focused > 10, qPrintable(QString::number(focused)));
    game.txtAnswer->setFocus();
    QCOMPARE(markDots(game.cmdNext), 0);
}

// A browser's platform sends Enter with no text: it scores the answer all the same.
void TestKeyboard::enterWithoutTextScores()
{
    auto &&[seams, game] = StartedGame();
    game.txtAnswer->setFocus();
    QTest::keyClicks(game.txtAnswer, rightAnswer(game));
    sendKey(game.txtAnswer, Qt::Key_Return, Qt::NoModifier, QString());
    QCOMPARE(game.drill().correct(), 1);
    QCOMPARE(game.txtAnswer->text(), rightAnswer(game));
}

namespace {

// Pixels of the bar entry drawn in the highlight colour: the mark of the entry the keys are on.
int markedPixels(QMenuBar *bar, QAction *entry)
{
    const QImage shown = bar->grab(bar->actionGeometry(entry)).toImage();
    const QRgb mark = bar->palette().color(QPalette::Highlight).rgb();
    int count = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            count += shown.pixel(x, y) == mark ? 1 : 0;
    }
    return count;
}

} // namespace

void TestKeyboard::f10ReachesNewGame()
{
    auto &&[seams, game] = StartedGame();
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    QWindow *win = game.window()->windowHandle();
    QTest::keyClick(win, Qt::Key_F10);
    QTRY_VERIFY(game.window()->menuBar()->hasFocus());
    QCOMPARE(game.window()->menuBar()->activeAction(), game.INFOMAZIONI);
    QVERIFY(markedPixels(game.window()->menuBar(), game.INFOMAZIONI) > 20);
    QTest::keyClick(win, Qt::Key_Down); // opens the list under the first entry
    QTRY_VERIFY(QApplication::activePopupWidget());
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbNo);
    QTest::keyClick(win, Qt::Key_Right);
    QTRY_COMPARE(game.window()->menuBar()->activeAction(), game.copyr);
    QTest::keyClick(win, Qt::Key_Right);
    QTRY_COMPARE(game.window()->menuBar()->activeAction(), game.Next);
    QTest::keyClick(win, Qt::Key_Return);
    QTRY_COMPARE(seams.dialogs.prompts().value(0), QStringLiteral("INIZIAMO UNA NUOVA GARA  ?"));
    QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer); // the keys go back to the box
}

namespace {

// Runs `act` on the next box the program opens, from inside its event loop.
void onNextBox(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box && clock->elapsed() < 10000)
            return;
        poll->stop();
        poll->deleteLater();
        if (!box)
            qFatal("no box appeared");
        act(box);
        if (QApplication::activeModalWidget() == box)
            if (auto *d = qobject_cast<QDialog *>(box))
                d->reject();
    });
    poll->start(10);
}

} // namespace

// A screen reader's key listener makes Qt deliver each key from the window system a second time,
// late, as a key the program sends: the bar stays in keyboard mode when Alt comes again.
void TestKeyboard::altDeliveredAgainLateKeepsTheBar()
{
    auto &&[seams, game] = StartedGame();
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    QWindow *win = game.window()->windowHandle();
    QMenuBar *bar = game.window()->menuBar();
    QTest::keyEvent(QTest::Press, win, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyEvent(QTest::Release, win, Qt::Key_Alt, Qt::NoModifier);
    QTRY_VERIFY(bar->hasFocus());
    QKeyEvent pressedAgain(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(win, &pressedAgain);
    QKeyEvent releasedAgain(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(win, &releasedAgain);
    QCoreApplication::processEvents();
    QVERIFY(bar->hasFocus());
    QCOMPARE(bar->activeAction(), game.INFOMAZIONI);
}

// A real box opened from the bar in keyboard mode takes the focus; after a No by keyboard the
// typed keys reach the answer box at once, and Escape leaves the bar the same way.
void TestKeyboard::keyboardNoGivesTheKeysBack()
{
    auto &&[seams, game] = StartedGame();
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    QWindow *win = game.window()->windowHandle();
    QMenuBar *bar = game.window()->menuBar();
    seams.dialogs.clearCalls();
    seams.dialogs.answer(vbNo, [&](const ScriptedDialogs::Call &call) {
        onNextBox([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
        QMessageBox box(QMessageBox::Question, call.title, call.prompt,
                        QMessageBox::Yes | QMessageBox::No, game.window());
        box.exec();
    });
    QTest::keyClick(win, Qt::Key_F10);
    QTRY_VERIFY(bar->hasFocus());
    QTest::keyClick(win, Qt::Key_Left); // round from the first entry to NUOVO GIOCO
    QCOMPARE(bar->activeAction(), game.Next);
    QTest::keyClick(win, Qt::Key_Return);
    QTRY_COMPARE(seams.dialogs.prompts().size(), 1);
    game.window()->activateWindow(); // as the window manager does when the box goes
    QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
    QTest::keyClicks(nullptr, QStringLiteral("4"));
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("4"));
    QTest::keyClick(win, Qt::Key_F10);
    QTRY_VERIFY(bar->hasFocus());
    QTest::keyClick(win, Qt::Key_Escape);
    QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
    QCOMPARE(markedPixels(bar, game.INFOMAZIONI), 0);
    // An item of a list chosen by keyboard closes the menus and gives the keys back too.
    QTest::keyClick(win, Qt::Key_F10);
    QTest::keyClick(win, Qt::Key_Down);
    QTRY_VERIFY(QApplication::activePopupWidget());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
    QTest::keyClicks(nullptr, QStringLiteral("5"));
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("45"));
}

namespace {

QString spokenName(QWidget *w)
{
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

} // namespace

// The clock holds the focus for a screen reader until the next key, which goes back, with the
// focus, where it came from; the window shows the same throughout. F2 does it too, for a browser
// keeps Ctrl+T.
void TestKeyboard::timeKeyLendsTheFocusToTheClock_data()
{
    addColumns<int, int>({"key", "modifiers"});
    QTest::newRow("Ctrl+T") << int(Qt::Key_T) << int(Qt::ControlModifier);
    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier);
}

void TestKeyboard::timeKeyLendsTheFocusToTheClock()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    const auto timeKey = [&](QWindow *win) {
        QTest::keyClick(win, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    };
    auto &&[seams, game] = StartedGame();
    QWindow *win = game.window()->windowHandle();
    QTest::keyClicks(nullptr, QStringLiteral("1"));
    timeKey(win);
    QCOMPARE(QApplication::focusWidget(), game.lblconto);
    QCOMPARE(spokenName(game.lblconto),
             QStringLiteral("Tempo restante: %1").arg(game::clockInWords(game::gameSeconds)));
    QCOMPARE(game.lblconto->Caption(), game::clockText(game::gameSeconds));
    QTest::keyClicks(nullptr, QStringLiteral("2"));
    QCOMPARE(QApplication::focusWidget(), game.txtAnswer);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("12"));
    QCOMPARE(game.lblconto->focusPolicy(), Qt::NoFocus);

    QTest::keyClick(win, Qt::Key_Return); // the verdict; the focus on Nuovo calcolo
    const int marked = markDots(game.cmdNext);
    QVERIFY(marked > 10);
    timeKey(win);
    QCOMPARE(QApplication::focusWidget(), game.lblconto);
    QCOMPARE(markDots(game.cmdNext), marked);
    QTest::keyClick(win, Qt::Key_Return); // goes on to Nuovo calcolo: the next question
    QCOMPARE(game.lblMessage->Caption(), QString());
    QCOMPARE(QApplication::focusWidget(), game.txtAnswer);
}

void TestKeyboard::clockReadAtFiveAndOneMinuteLeft()
{
    auto &&[seams, game] = StartedGame();
    for (const int secondsLeft : {5 * 60, 60}) {
        while (game.drill().secondsLeft() > secondsLeft + 1)
            game.Timer1_Timer();
        QCOMPARE(QApplication::focusWidget(), game.txtAnswer); // nothing read before
        game.Timer1_Timer();
        QCOMPARE(QApplication::focusWidget(), game.lblconto);
        QCOMPARE(spokenName(game.lblconto),
                 QStringLiteral("Tempo restante: %1").arg(game.drill().clockInWords()));
        QTest::keyClicks(nullptr, QStringLiteral("1"));
        QCOMPARE(QApplication::focusWidget(), game.txtAnswer);
    }
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("11"));
}

// Enter in the box after the verdict draws the next question with the focus staying in the box,
// where a screen reader would not read it again: the "=" reads it until the next key.
void TestKeyboard::enterAfterTheVerdictReadsTheQuestion()
{
    auto &&[seams, game] = StartedGame();
    answer(game, rightAnswer(game));
    game.txtAnswer->setFocus();
    QTest::keyClick(game.window()->windowHandle(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), game.Label4);
    QCOMPARE(spokenName(game.Label4), spokenName(game.txtAnswer));
    QVERIFY(spokenName(game.Label4).startsWith(QStringLiteral("Quanto fa ")));
    QTest::keyClicks(nullptr, QStringLiteral("7"));
    QCOMPARE(QApplication::focusWidget(), game.txtAnswer);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("7"));
}

void TestKeyboard::refusedKeysRing()
{
    auto &&[seams, game] = StartedGame();
    QSignalSpy rings(game.txtAnswer, &TextBox::keyRefused);
    QTest::keyClicks(nullptr, QStringLiteral("1-3"));
    QCOMPARE(rings.size(), 0);
    QTest::keyClicks(nullptr, QStringLiteral("a+"));
    QCOMPARE(rings.size(), 2);
    QTest::keyClicks(nullptr, QStringLiteral("45")); // the fifth character does not fit
    QCOMPARE(rings.size(), 3);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("1-34"));
    QTest::keyClick(game.txtAnswer, Qt::Key_A, Qt::ControlModifier); // selected: a digit replaces
    QTest::keyClicks(nullptr, QStringLiteral("9"));
    QCOMPARE(rings.size(), 3);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("9"));
}

void TestKeyboard::boxAsWideAsItsTitle()
{
    const QString title = QStringLiteral("Uscire dal programma");
    int width = 0;
    int titleWidth = 0;
    onNextBox([&](QWidget *box) {
        width = box->width();
        QFont bold = QApplication::font("QMdiSubWindowTitleBar");
        bold.setBold(true);
        titleWidth = QFontMetrics(bold).horizontalAdvance(title);
        static_cast<QMessageBox *>(box)->button(QMessageBox::No)->click();
    });
    QCOMPARE(MsgBox(QStringLiteral("Vuoi?"), vbYesNo | vbQuestion | vbDefaultButton2, title),
             int(vbNo));
    QVERIFY2(width >= titleWidth + 100,
             qPrintable(QStringLiteral("%1 %2").arg(width).arg(titleWidth)));
}

void TestKeyboard::longNameBoxStaysOnScreen()
{
    const QString name = QString(3000, u'W') + u' ' + QString(20000, u'a');
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QRect box;
    QRect ok;
    onNextBox([&](QWidget *shown) {
        box = shown->frameGeometry();
        auto *button = static_cast<QMessageBox *>(shown)->button(QMessageBox::Ok);
        ok = QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
        QTest::keyClick(shown, Qt::Key_Return);
    });
    QCOMPARE(MsgBox(u' ' + name + QStringLiteral(" vediamo se sei un vero campione  ")), int(vbOK));
    QVERIFY2(box.width() <= screen.width() && box.height() <= screen.height(),
             qPrintable(QStringLiteral("%1x%2").arg(box.width()).arg(box.height())));
    QVERIFY(box.contains(ok));
}

void TestKeyboard::shownPromptFits_data()
{
    addColumns<QString, int, bool>({"prompt", "maxLines", "whole"});
    QTest::newRow("short") << " Anna vediamo se sei un vero campione  " << 10 << true;
    QTest::newRow("one long word") << QString(500, u'm') << 40 << true;
    QTest::newRow("too many lines") << QString(5000, u'm') << 5 << false;
    QTest::newRow("many words") << QString(400, u'a').replace(QStringLiteral("aa"), "a ") << 50
                                << true;
    QTest::newRow("line breaks kept") << "a\nb\nc" << 3 << true;
}

void TestKeyboard::shownPromptFits()
{
    QFETCH(QString, prompt);
    QFETCH(int, maxLines);
    QFETCH(bool, whole);
    const QFontMetrics fm(QApplication::font());
    const int width = 300;
    const QStringList lines = shownPrompt(prompt, fm, width, maxLines).split(u'\n');
    QVERIFY(lines.size() <= maxLines);
    for (const QString &line : lines)
        QVERIFY2(fm.horizontalAdvance(line) <= width, qPrintable(line));
    QString letters = lines.join(QString()).remove(u' ');
    QCOMPARE(letters.endsWith(u'…'), !whole);
    if (whole)
        QCOMPARE(letters, QString(prompt).remove(u' ').remove(u'\n'));
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
