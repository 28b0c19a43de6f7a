// SPDX-License-Identifier: GPL-3.0-or-later
// Questions and answers through real key presses into the real window.
#include "columns.h"
#include "fixture.h"
#include "rules/texts.h"

#include <QLabel>

#include <cmath>
#include <map>
#include <set>

using namespace platform;

class TestPlay : public QObject {
    Q_OBJECT
private slots:
    void firstQuestionIsDrawnOnShow();
    void refusedKeysLeaveTheBoxUnchanged_data();
    void refusedKeysLeaveTheBoxUnchanged();
    void editingKeysPass();
    void scoring_data();
    void scoring();
    void enterTwiceDrawsTheNextQuestion();
    void sameAnswerCountsOnce_data();
    void sameAnswerCountsOnce();
    void countsAfterThreeRightTwoWrong();
    void outOfRangeAnswerIsWrong();
    void drawingCoversEveryQuestionEvenly();
    void colourFollowsTheQuestion();
    void recordNotice_data();
    void recordNotice();
    void labelsShowMarkupLiterally();
};

namespace {

// Draws until the question is base^exponent (the seeds are fixed, so this ends quickly).
void drawUntil(Tavola &game, int base, int exponent)
{
    for (int i = 0;
         i < 2000 && (game.drill().base() != base || game.drill().exponent() != exponent); ++i)
        game.cmdNext_Click();
    QCOMPARE(int(game.drill().base()), base);
    QCOMPARE(int(game.drill().exponent()), exponent);
}

} // namespace

void TestPlay::firstQuestionIsDrawnOnShow()
{
    auto &&[seams, game] = StartedGame();
    QVERIFY(game.drill().base() >= game::baseMin && game.drill().base() <= game::baseMax);
    QVERIFY(game.drill().exponent() >= game::exponentMin &&
            game.drill().exponent() <= game::exponentMax);
    QCOMPARE(game.lblNum1->Caption(), QString::number(game.drill().base()));
    QCOMPARE(game.lblNum2->Caption(), QString::number(game.drill().exponent()));
    QVERIFY(!game.cmdNext->isEnabled());
    QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
    QCOMPARE(game.txtAnswer->text(), QString());
    QCOMPARE(game.lblMessage->Caption(), QString());
}

void TestPlay::refusedKeysLeaveTheBoxUnchanged_data()
{
    QTest::addColumn<QString>("keys");
    QTest::newRow("letter") << "a";
    QTest::newRow("space") << " ";
    QTest::newRow("plus") << "+";
    QTest::newRow("point") << ".";
    QTest::newRow("comma") << ",";
    QTest::newRow("accented") << "è";
}

void TestPlay::refusedKeysLeaveTheBoxUnchanged()
{
    QFETCH(QString, keys);
    auto &&[seams, game] = StartedGame();
    QTest::keyClicks(game.txtAnswer, QStringLiteral("1"));
    // Sent as the key event a keyboard makes: QTest::keyClicks takes ASCII only.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, keys);
    QApplication::sendEvent(game.txtAnswer, &press);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("1"));
    QTest::keyClick(game.txtAnswer, Qt::Key_Escape);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("1"));
}

void TestPlay::editingKeysPass()
{
    auto &&[seams, game] = StartedGame();
    QTest::keyClicks(game.txtAnswer, QStringLiteral("4a-9"));
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("4-9"));
    QTest::keyClick(game.txtAnswer, Qt::Key_Backspace);
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("4-"));
    QTest::keyClicks(game.txtAnswer, QStringLiteral("--12"));
    QCOMPARE(game.txtAnswer->text(), QStringLiteral("4---")); // at most four characters
}

void TestPlay::scoring_data()
{
    addColumns<int, int, QString, bool>({"base", "exponent", "typed", "right"});
    QTest::newRow("leading zeros are right") << 7 << 2 << "0049" << true;
    QTest::newRow("reading stops at the minus") << 2 << 3 - 2 << "2-" << true;
    QTest::newRow("8- against 8") << 8 << 1 << "8-" << true;
    QTest::newRow("empty box is wrong") << 3 << 2 << "" << false;
    QTest::newRow("minus alone is zero") << 5 << 0 << "-" << false;
    QTest::newRow("exponent zero") << 9 << 0 << "1" << true;
    QTest::newRow("the largest answer")
        << game::baseMax << game::exponentMax
        << QString::number(std::lround(std::pow(game::baseMax, game::exponentMax))) << true;
    QTest::newRow("negative") << 4 << 1 << "-4" << false;
}

void TestPlay::scoring()
{
    QFETCH(int, base);
    QFETCH(int, exponent);
    QFETCH(QString, typed);
    QFETCH(bool, right);
    auto &&[seams, game] = StartedGame();
    drawUntil(game, base, exponent);
    answer(game, typed);
    QCOMPARE(int(game.drill().correct()), right ? 1 : 0);
    QCOMPARE(int(game.drill().wrong()), right ? 0 : 1);
    const QString verdict =
        right ? game::text::right : game::text::wrong.arg(game.drill().expectedAnswer());
    QCOMPARE(game.lblMessage->Caption(), verdict);
    QCOMPARE(game.lblScore->Caption(), right ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(game.lblScore1->Caption(), right ? QStringLiteral("0") : QStringLiteral("1"));
    QCOMPARE(game.lblScore2->Caption(), QStringLiteral("1"));
    QCOMPARE(game.txtAnswer->text(), typed); // the answer stays until the next question
    QVERIFY(game.cmdNext->isEnabled());
    QCOMPARE(QApplication::focusWidget(), game.cmdNext);
}

void TestPlay::enterTwiceDrawsTheNextQuestion()
{
    auto &&[seams, game] = StartedGame();
    answer(game, rightAnswer(game));
    QCOMPARE(game.lblMessage->Caption(), game::text::right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(game.lblMessage->Caption(), QString());
    QCOMPARE(game.txtAnswer->text(), QString());
    QVERIFY(!game.cmdNext->isEnabled());
    QCOMPARE(QApplication::focusWidget(), game.txtAnswer);
    QCOMPARE(int(game.drill().correct()), 1);
    QCOMPARE(game.lblScore->Caption(), QStringLiteral("1")); // counts survive the drawing
}

void TestPlay::sameAnswerCountsOnce_data()
{
    addColumns<bool>({"byMouse"});
    QTest::newRow("click into the box") << true;
    QTest::newRow("Tab round to the box") << false;
}

// Back in the box after a scored answer, Enter asks the next question and scores nothing.
void TestPlay::sameAnswerCountsOnce()
{
    QFETCH(bool, byMouse);
    auto &&[seams, game] = StartedGame();
    answer(game, rightAnswer(game));
    if (byMouse) {
        QTest::mouseClick(game.txtAnswer, Qt::LeftButton);
    } else {
        for (int i = 0; i < 4 && QApplication::focusWidget() != game.txtAnswer; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), game.txtAnswer);
    QTest::keyClick(game.txtAnswer, Qt::Key_Return);
    QCOMPARE(int(game.drill().correct()), 1);
    QCOMPARE(game.lblScore2->Caption(), QStringLiteral("1"));
    QCOMPARE(game.txtAnswer->text(), QString());
    QCOMPARE(game.lblMessage->Caption(), QString());
    QVERIFY(!game.cmdNext->isEnabled());
    answer(game, rightAnswer(game)); // the new question is scored as usual
    QCOMPARE(int(game.drill().correct()), 2);
}

void TestPlay::countsAfterThreeRightTwoWrong()
{
    auto &&[seams, game] = StartedGame();
    const QList<bool> plan = {true, false, true, false, true};
    for (bool right : plan) {
        answer(game,
               right ? rightAnswer(game) : QString::number(game.drill().expectedAnswer() + 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(game.lblScore->Caption(), QStringLiteral("3"));
    QCOMPARE(game.lblScore1->Caption(), QStringLiteral("2"));
    QCOMPARE(game.lblScore2->Caption(), QStringLiteral("5"));
}

void TestPlay::outOfRangeAnswerIsWrong()
{
    auto &&[seams, game] = StartedGame();
    // Pasted text is not filtered and the limit of four characters does not stop a long number.
    game.txtAnswer->setMaxLength(32767);
    game.txtAnswer->setText(QStringLiteral("99999999999999999999"));
    QTest::keyClick(game.txtAnswer, Qt::Key_Return);
    QCOMPARE(int(game.drill().wrong()), 1);
    QCOMPARE(game.lblMessage->Caption(), game::text::wrong.arg(game.drill().expectedAnswer()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // the next question
    game.txtAnswer->setText(QStringLiteral("-40000"));
    QTest::keyClick(game.txtAnswer, Qt::Key_Return);
    QCOMPARE(int(game.drill().wrong()), 2);
}

void TestPlay::drawingCoversEveryQuestionEvenly()
{
    auto &&[seams, game] = StartedGame();
    std::map<int, int> bases, exponents;
    const int draws = 30000;
    for (int i = 0; i < draws; ++i) {
        game.cmdNext_Click();
        ++bases[game.drill().base()];
        ++exponents[game.drill().exponent()];
        QCOMPARE(int(game.drill().expectedAnswer()),
                 int(std::lround(
                     std::pow(double(game.drill().base()), double(game.drill().exponent())))));
    }
    const int baseCount = game::baseMax - game::baseMin + 1;
    const int exponentCount = game::exponentMax - game::exponentMin + 1;
    QCOMPARE(int(bases.size()), baseCount);
    QCOMPARE(int(exponents.size()), exponentCount);
    QCOMPARE(bases.begin()->first, game::baseMin);
    QCOMPARE(bases.rbegin()->first, game::baseMax);
    QCOMPARE(exponents.begin()->first, game::exponentMin);
    QCOMPARE(exponents.rbegin()->first, game::exponentMax);
    // Each value within a tenth of its even share.
    for (auto [b, n] : bases)
        QVERIFY2(std::abs(n - draws / baseCount) < draws / baseCount / 10,
                 qPrintable(QString::number(b)));
    for (auto [e, n] : exponents)
        QVERIFY2(std::abs(n - draws / exponentCount) < draws / exponentCount / 10,
                 qPrintable(QString::number(e)));
}

void TestPlay::colourFollowsTheQuestion()
{
    auto &&[seams, game] = StartedGame();
    const struct {
        int base, exponent, r, g, b;
    } rows[] = {
        {2, 0, 40, 0, 100}, {5, 1, 100, 20, 250}, {6, 0, 120, 0, 255}, {9, 2, 180, 40, 255}};
    for (const auto &row : rows) {
        drawUntil(game, row.base, row.exponent);
        QCOMPARE(game.BackColor(), RGB(row.r, row.g, row.b));
        // The frame around the background picture is all that shows of the window's colour.
        const QColor shown = game.window()->clientArea()->grab().toImage().pixelColor(2, 2);
        QCOMPARE(shown, QColor(row.r, row.g, row.b));
    }
}

void TestPlay::recordNotice_data()
{
    addColumns<QString, int, bool>({"record", "correct", "notice"});
    QTest::newRow("12 with line break, 13 right") << "12\r\n" << 13 << true;
    QTest::newRow("12 with line break, 12 right") << "12\r\n" << 12 << false;
    QTest::newRow("12 with line break, 14 right") << "12\r\n" << 14 << false;
    QTest::newRow("empty record, first right") << "" << 1 << true;
    QTest::newRow("empty record, none right") << "" << 0 << false;
    QTest::newRow("not a number") << "ciao" << 1 << true;
    QTest::newRow("-1 shows at the first question") << "-1" << 0 << true;
}

void TestPlay::recordNotice()
{
    QFETCH(QString, record);
    QFETCH(int, correct);
    QFETCH(bool, notice);
    GameSeams seams;
    seams.write(records::scoreFileName, record.toLatin1());
    Tavola game(seams.services());
    seams.start(game);
    answerRight(game, correct);
    seams.dialogs.clearCalls();
    game.cmdNext_Click();
    QCOMPARE(seams.dialogs.prompts().contains(game::text::recordPassed), notice);
    if (notice) {
        const auto &box = seams.dialogs.calls().constLast();
        QCOMPARE(box.style, 0);
        QCOMPARE(box.title, QStringLiteral("Vorandi"));
    }
}

void TestPlay::labelsShowMarkupLiterally()
{
    GameSeams seams;
    Tavola game(seams.services());
    seams.start(game, QStringLiteral("<b>Anna</b> <img src=x>"));
    QCOMPARE(game.lblnome1->Caption(), QStringLiteral("<b>Anna</b> <img src=x>"));
    QCOMPARE(game.lblnome1->textFormat(), Qt::PlainText);
    QCOMPARE(game.lblnome1->text(), QStringLiteral("<b>Anna</b> <img src=x>"));
    // Drawn as plain text, the label is as wide as every character of the markup.
    const QFontMetrics fm(game.lblnome1->font());
    QVERIFY(game.lblnome1->width() >= fm.horizontalAdvance(QStringLiteral("<b>Anna</b>")));
}

QTEST_MAIN(TestPlay)
#include "tst_play.moc"
