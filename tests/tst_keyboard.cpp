// SPDX-License-Identifier: GPL-3.0-or-later
// Keys only: editing keys, composed and pasted text in the answer box, the focus mark, the menu
// bar from F10, and the boxes' size on the screen.
#include "columns.h"
#include "fixture.h"
#include "rules/texts.h"
#include "widgets/accessibility.h"
#include "widgets/numberpad.h"

#include <QAccessible>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QInputMethodEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

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
    void coveredButtonShowsItsFocus();
    void numberPadByTouch();
    void f11FillsTheScreen();
    void enterWithoutTextScores();
    void f10ReachesNewGame();
    void keyboardNoGivesTheKeysBack();
    void altAtAnyPace_data();
    void altAtAnyPace();
    void readingsKeepTheKeys_data();
    void readingsKeepTheKeys();
    void timeReadFromTheMenuBar();
    void textQueriesAnswer_data();
    void textQueriesAnswer();
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

// "Nessuna azione" lies under "Nuovo calcolo": with the focus on it a mark shows over the cover,
// and goes with the focus.
void TestKeyboard::coveredButtonShowsItsFocus()
{
    auto &&[seams, game] = StartedGame();
    QWidget *client = game.window()->clientArea();
    const QRect place = game.Command1->geometry();
    const QImage before = client->grab(place).toImage();
    game.Command1->setFocus();
    QTRY_VERIFY(client->grab(place).toImage() != before);
    game.txtAnswer->setFocus();
    QTRY_COMPARE(client->grab(place).toImage(), before);
}

namespace {

// A finger's tap on a widget.
void tap(QWidget *widget)
{
    static QPointingDevice *finger = QTest::createTouchDevice();
    const QPoint at = widget->mapTo(widget->window(), widget->rect().center());
    QTest::touchEvent(widget->window(), finger).press(0, at);
    QTest::touchEvent(widget->window(), finger).release(0, at);
}

void tapKeys(NumberPad *pad, const QString &keys)
{
    for (const QString &name : keys.split(u' ')) {
        const auto found = pad->findChildren<QPushButton *>();
        auto key = std::find_if(found.begin(), found.end(),
                                [&](QPushButton *b) { return b->accessibleName() == name; });
        QVERIFY2(key != found.end(), qPrintable(name));
        tap(*key);
    }
}

} // namespace

// The first touch opens the number pad beside the window; its keys answer as the keyboard's do,
// and the keyboard goes on working beside it.
void TestKeyboard::numberPadByTouch()
{
    auto &&[seams, game] = StartedGame();
    QVERIFY(!game.window()->findChild<NumberPad *>());
    tap(game.lblNum1);
    auto *pad = game.window()->findChild<NumberPad *>();
    QVERIFY(pad && pad->isVisible());
    QVERIFY(!pad->frameGeometry().intersects(game.window()->frameGeometry()));
    QString answer = rightAnswer(game);
    tapKeys(pad, answer.split(QString(), Qt::SkipEmptyParts).join(u' ') + QStringLiteral(" Invio"));
    QCOMPARE(game.lblMessage->Caption(), game::text::right);
    tapKeys(pad, QStringLiteral("Invio")); // the next question, as Enter in the box
    QCOMPARE(game.lblMessage->Caption(), QString());
    QTest::keyClicks(nullptr, QStringLiteral("7"));
    tapKeys(pad, QStringLiteral("meno 1 2 3 4")); // four characters at most, the filter's own
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("7-12"));
    tapKeys(pad, QStringLiteral("cancella"));
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("7-1"));
    // As large as the screen the pad goes to the screen's edge, beside the design's window.
    QTest::keyClick(game.window()->windowHandle(), Qt::Key_F11);
    QTRY_VERIFY(game.window()->isFullScreen());
    QTRY_COMPARE(pad->frameGeometry().right(), game.window()->screen()->geometry().right());
}

// F11 draws the window as large as the screen in the design's proportions, and back.
void TestKeyboard::f11FillsTheScreen()
{
    auto &&[seams, game] = StartedGame();
    QWindow *win = game.window()->windowHandle();
    QWidget *client = game.window()->clientArea();
    const QSize design = client->size();
    QTest::keyClick(win, Qt::Key_F11);
    QTRY_VERIFY(game.window()->isFullScreen());
    const QSize screen = game.window()->screen()->geometry().size();
    QVERIFY(client->width() > design.width());
    QVERIFY2(client->width() <= screen.width() && client->height() <= screen.height(),
             qPrintable(QStringLiteral("%1x%2 %3x%4")
                            .arg(client->width())
                            .arg(client->height())
                            .arg(screen.width())
                            .arg(screen.height())));
    QVERIFY(std::abs(client->height() * design.width() - design.height() * client->width()) <=
            design.width());
    QTest::keyClick(win, Qt::Key_F11);
    QTRY_VERIFY(!game.window()->isFullScreen());
    QCOMPARE(client->size(), design);
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
    QTRY_COMPARE(seams.dialogs.prompts().value(0), game::text::newGameQuestion);
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

namespace {

// Qt's accessibility bridge while a screen reader listens for keys: each key from the window
// system is held back and sent again later, as a key of the program's.
class HeldKeys : public QObject {
public:
    HeldKeys() { qApp->installEventFilter(this); }
    ~HeldKeys() override { qApp->removeEventFilter(this); }
    void letGo()
    {
        for (auto &[target, key] : std::exchange(held_, {}))
            QCoreApplication::postEvent(target, key.release());
        QCoreApplication::processEvents();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) ||
            !event->spontaneous())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        held_.emplace_back(watched, std::make_unique<QKeyEvent>(key->type(), key->key(),
                                                                key->modifiers(), key->text()));
        return true;
    }

private:
    std::vector<std::pair<QObject *, std::unique_ptr<QKeyEvent>>> held_;
};

enum class AltWay { Alone, AfterEscape, AcrossAWindowSwitch };

} // namespace

void TestKeyboard::altAtAnyPace_data()
{
    QTest::addColumn<AltWay>("way");
    QTest::newRow("Alt alone") << AltWay::Alone;
    QTest::newRow("F10, then Escape and Alt before the screen reader lets them go")
        << AltWay::AfterEscape;
    QTest::newRow("Alt held while another window is in front") << AltWay::AcrossAWindowSwitch;
}

// However late a screen reader lets the keys go, Alt alone toggles the bar once, in the order
// typed: Escape leaves the bar, the Alt typed right after it enters it again.
void TestKeyboard::altAtAnyPace()
{
    QFETCH(AltWay, way);
    auto &&[seams, game] = StartedGame();
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    QWindow *win = game.window()->windowHandle();
    QMenuBar *bar = game.window()->menuBar();
    std::optional<HeldKeys> screenReader; // a switch with a screen reader is its own matter
    if (way != AltWay::AcrossAWindowSwitch)
        screenReader.emplace();
    if (way == AltWay::AfterEscape) {
        QTest::keyClick(win, Qt::Key_F10);
        QTRY_VERIFY(bar->hasFocus());
        QTest::keyClick(win, Qt::Key_Escape);
    }
    QTest::keyEvent(QTest::Press, win, Qt::Key_Alt, Qt::AltModifier);
    if (way == AltWay::AcrossAWindowSwitch) {
        QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(game.window());
    }
    QTest::keyEvent(QTest::Release, win, Qt::Key_Alt, Qt::NoModifier);
    if (screenReader)
        screenReader->letGo();
    if (way == AltWay::AcrossAWindowSwitch) {
        QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
        QVERIFY(!bar->hasFocus());
        return;
    }
    QTRY_VERIFY(bar->hasFocus());
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

// What the window has a screen reader say, in order.
QStringList &announced()
{
    static QStringList said;
    return said;
}

void listen(Tavola &game)
{
    announced().clear();
    QObject::connect(announcerOf(game.window()), &Announcer::said,
                     [](const QString &text) { announced() << text; });
}

// One step of a child's way through the window before the next digit.
void take(const QString &step, GameSeams &seams, Tavola &game)
{
    QWindow *win = game.window()->windowHandle();
    QMenuBar *bar = game.window()->menuBar();
    if (const QKeySequence keys(step); keys.count() == 1 && !step.contains(u' ')) {
        QTest::keyClick(win, keys[0].key(), keys[0].keyboardModifiers());
    } else if (step == u"one minute left") {
        while (game.drill().secondsLeft() > 60)
            game.Timer1_Timer();
    } else if (step == u"Enter after a verdict") {
        answer(game, rightAnswer(game));
        QTest::keyClick(game.txtAnswer, Qt::Key_Return);
    } else if (step == u"Alt+X, No") {
        seams.dialogs.clearCalls();
        seams.dialogs.answer(vbNo, [&](const ScriptedDialogs::Call &call) {
            onNextBox([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
            QMessageBox(QMessageBox::Question, call.title, call.prompt,
                        QMessageBox::Yes | QMessageBox::No, game.window())
                .exec();
        });
        QTest::keyClick(win, Qt::Key_X, Qt::AltModifier);
        QTRY_COMPARE(seams.dialogs.prompts().size(), 1);
        game.window()->activateWindow(); // as the window manager does when the box goes
    } else if (step == u"F10, Escape") {
        QTest::keyClick(win, Qt::Key_F10);
        QTRY_VERIFY(bar->hasFocus());
        QTest::keyClick(win, Qt::Key_Escape);
    } else if (step == u"a menu by mouse") {
        const QPoint entry = bar->actionGeometry(game.INFOMAZIONI).center();
        QTest::mouseClick(bar, Qt::LeftButton, {}, entry);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::mouseClick(
            QApplication::activePopupWidget(), Qt::LeftButton, {},
            QApplication::activePopupWidget()->mapFromGlobal(bar->mapToGlobal(entry)));
        QTRY_VERIFY(!QApplication::activePopupWidget());
    } else if (step == u"minimize, restore") {
        game.window()->showMinimized();
        QTRY_VERIFY(game.window()->isMinimized());
        game.window()->showNormal();
        game.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(game.window()));
    } else {
        QFAIL(qPrintable(step));
    }
}

} // namespace

// The readings never move the focus: whatever way a child takes through the window after one,
// the next digit lands in the answer box, which keeps its caret throughout.
void TestKeyboard::readingsKeepTheKeys_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("heard");
    const QString time = QStringLiteral("Tempo restante: ");
    auto row = [](const char *name, QStringList steps, QStringList heard) {
        QTest::newRow(name) << steps << heard;
    };
    row("Ctrl+T, Alt+X, No", {"Ctrl+T", "Alt+X, No"}, {time});
    row("Ctrl+T, a menu by mouse", {"Ctrl+T", "a menu by mouse"}, {time});
    row("Ctrl+T, F10, Escape", {"Ctrl+T", "F10, Escape"}, {time});
    row("5:00 and 1:00, F10, Escape", {"one minute left", "F10, Escape"},
        {time + "5 minuti", time + "1 minuto"});
    row("Enter after a verdict, Alt+X, No", {"Enter after a verdict", "Alt+X, No"}, {"Quanto fa "});
    row("Ctrl+T, minimize, restore", {"Ctrl+T", "minimize, restore"}, {time});
    row("Ctrl+T twice, F2", {"Ctrl+T", "Ctrl+T", "F2"}, {time, time, time});
    row("F10, Ctrl+T", {"F10, Escape", "Ctrl+T"}, {time});
    row("the record", {"F8"}, {"Il record è di"});
}

void TestKeyboard::readingsKeepTheKeys()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, heard);
    auto &&[seams, game] = StartedGame();
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    listen(game);
    for (const QString &step : steps) {
        take(step, seams, game);
        QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
    }
    QCOMPARE(announced().size(), heard.size());
    for (qsizetype i = 0; i < heard.size(); ++i)
        QVERIFY2(announced()[i].startsWith(heard[i]), qPrintable(announced()[i]));
    QTest::keyClicks(nullptr, QStringLiteral("5"));
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("5"));
}

// Ctrl+T with the menu bar in keyboard mode reads the time and leaves the bar as it was.
void TestKeyboard::timeReadFromTheMenuBar()
{
    auto &&[seams, game] = StartedGame();
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    QWindow *win = game.window()->windowHandle();
    QMenuBar *bar = game.window()->menuBar();
    QTest::keyClick(win, Qt::Key_F10);
    QTRY_VERIFY(bar->hasFocus());
    QTest::keyClick(win, Qt::Key_Right);
    listen(game);
    QTest::keyClick(win, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(announced().size(), 1);
    QVERIFY(bar->hasFocus());
    QCOMPARE(bar->activeAction(), game.copyr);
}

// A screen reader asks for the character, word, sentence or line before, at and after any offset
// of the box's text, its end included; each answer is a piece of the text and comes at once (a
// question that never returned froze the game: the test then runs out of time).
void TestKeyboard::textQueriesAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("boundary");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("where");
    QTest::addColumn<QString>("piece"); // null: any piece of the text will do
    const QString any;
    for (const char *text : {"", "7", "12", "-", "-123", "1234"}) {
        const int length = int(qstrlen(text));
        for (int b = QAccessible::CharBoundary; b <= QAccessible::NoBoundary; ++b)
            for (int offset = -2; offset <= length + 1; ++offset)
                for (int where : {-1, 0, 1})
                    QTest::addRow("%s b%d at %d %d", text, b, offset, where)
                        << QString::fromLatin1(text) << b << offset << where << any;
    }
    auto exact = [](const char *name, const char *text, QAccessible::TextBoundaryType b, int offset,
                    int where, const char *piece) {
        QTest::newRow(name) << QString::fromLatin1(text) << int(b) << offset << where
                            << QString::fromLatin1(piece);
    };
    exact("word at the end", "12", QAccessible::WordBoundary, 2, 0, "12");
    exact("word at the caret, the end", "12", QAccessible::WordBoundary, -2, 0, "12");
    exact("word before the end", "7", QAccessible::WordBoundary, 1, -1, "");
    exact("character at the end", "12", QAccessible::CharBoundary, 2, 0, "2");
    exact("character after the first", "12", QAccessible::CharBoundary, 0, 1, "2");
    exact("line", "-123", QAccessible::LineBoundary, 3, 0, "-123");
}

void TestKeyboard::textQueriesAnswer()
{
    QFETCH(QString, text);
    QFETCH(int, boundary);
    QFETCH(int, offset);
    QFETCH(int, where);
    QFETCH(QString, piece);
    auto &&[seams, game] = StartedGame();
    QTest::keyClicks(game.txtAnswer, text); // the caret at the end, where word keys leave it
    QAccessibleTextInterface *box =
        QAccessible::queryAccessibleInterface(game.txtAnswer)->textInterface();
    QVERIFY(box);
    QCOMPARE(box->characterCount(), text.size());
    int start = 0;
    int end = 0;
    const auto type = QAccessible::TextBoundaryType(boundary);
    const QString got = where < 0   ? box->textBeforeOffset(offset, type, &start, &end)
                        : where > 0 ? box->textAfterOffset(offset, type, &start, &end)
                                    : box->textAtOffset(offset, type, &start, &end);
    QCOMPARE(got, start < 0 ? QString() : text.mid(start, end - start));
    QVERIFY(start <= end && end <= text.size());
    if (!piece.isNull())
        QCOMPARE(got, piece);
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
    const QString title = game::text::leaveTitle;
    int width = 0;
    int titleWidth = 0;
    onNextBox([&](QWidget *box) {
        width = box->width();
        QFont bold = QApplication::font("QMdiSubWindowTitleBar");
        bold.setBold(true);
        titleWidth = QFontMetrics(bold).horizontalAdvance(title);
        static_cast<QMessageBox *>(box)->button(QMessageBox::No)->click();
    });
    QCOMPARE(
        qtDialogs().msgBox(QStringLiteral("Vuoi?"), vbYesNo | vbQuestion | vbDefaultButton2, title),
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
    const QString greeting = game::text::greeting.arg(name);
    QCOMPARE(qtDialogs().msgBox(greeting, vbOKOnly, QString()), int(vbOK));
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
