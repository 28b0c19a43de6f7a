// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile input: names no school register holds and record files no game wrote. Each is shown
// literally, the window stays usable, and the record check keeps or replaces the pair soundly.
#include "columns.h"
#include "fixture.h"
#include "platform/cp1252.h"
#include "reliability.h"
#include "rules/texts.h"

#include <QElapsedTimer>

using namespace platform;

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    void strangeNames_data();
    void strangeNames();
    void strangeRecordFiles_data();
    void strangeRecordFiles();
    void hugeRecordFiles_data();
    void hugeRecordFiles();
    void longCaptionsAreCutOnScreenOnly_data();
    void longCaptionsAreCutOnScreenOnly();
};

namespace {

// Starts a game and says how long the start took, for the report.
qint64 timedStart(GameSeams &seams, Tavola &game, const QString &name)
{
    QElapsedTimer clock;
    clock.start();
    seams.start(game, name);
    return clock.elapsed();
}

void recordTiming(const QString &what, qint64 ms)
{
    reliability::record({{QStringLiteral("kind"), QStringLiteral("timing")},
                         {QStringLiteral("name"), what},
                         {QStringLiteral("ms"), ms}});
}

QByteArray bigText(qsizetype size, bool lines)
{
    QByteArray line = "Il record di Vorandi: 12345 punti, battuto da nessuno. ";
    if (lines)
        line += "\r\n";
    QByteArray text;
    text.reserve(size);
    while (text.size() < size)
        text += line;
    text.truncate(size);
    return text;
}

} // namespace

void TestHostile::strangeNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept"); // null: the name as typed
    QString longName;
    while (longName.size() < 10000)
        longName += QStringLiteral("Anna Maria ");
    longName.truncate(10000);
    QTest::newRow("10,000 characters") << longName << QString();
    QTest::newRow("markup") << QStringLiteral("<b>Anna</b><img src=\":/pics/smile.ico\"><br>")
                            << QString();
    QTest::newRow("right-to-left marks")
        << QStringLiteral("\u202Eanna\u202C \u200Fابن\u200E") << QString();
    QTest::newRow("control characters")
        << QStringLiteral("A\tn\x1b[31mn\u0007a\u0008\u007F") + QChar(0) + QStringLiteral("!")
        << QStringLiteral("A n [31mn a   !");
    QTest::newRow("line breaks") << QStringLiteral("Anna\r\nBruno\nCarlo\rDario")
                                 << QStringLiteral("Anna Bruno Carlo Dario");
    QTest::newRow("emoji") << QStringLiteral("Anna 😀👩‍👩‍👧 🇮🇹") << QString();
    QTest::newRow("outside Windows-1252") << QStringLiteral("Дмитрий 王小明 Łukasz ǅ") << QString();
    QTest::newRow("lone surrogate") << QStringLiteral("Anna") + QChar(0xD800) << QString();
    QTest::newRow("only blanks") << QStringLiteral("     ") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("percent and ampersand") << QStringLiteral("%1 %s &Anna &&") << QString();
}

// The name is greeted, shown and saved exactly, but for control characters and line breaks, which
// become blanks; what Windows-1252 cannot hold becomes "?".
void TestHostile::strangeNames()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    const QString name = kept.isNull() ? typed : kept;
    GameSeams seams;
    bool survived = false;
    bool saved = false;
    {
        Tavola game(seams.services());
        const qint64 ms = timedStart(seams, game, typed);
        if (name.size() >= 10000)
            recordTiming(QStringLiteral("start with a name of 10,000 characters"), ms);
        const bool greeted = seams.dialogs.calls().size() >= 2 &&
                             seams.dialogs.calls().at(1).prompt == game::text::greeting.arg(name);
        const bool shown =
            game.lblnome1->Caption() == name && game.lblnome1->textFormat() == Qt::PlainText;
        answer(game, rightAnswer(game));
        const bool usable = game.drill().correct() == 1;
        const int code = leaveByExit(seams, game);
        survived = greeted && shown && usable && code == 0;
        saved = seams.bytes(records::scoreFileName) == "1\r\n" &&
                seams.bytes(records::nameFileName) == toCp1252(name) + "\r\n";
        QVERIFY(greeted);
        QVERIFY(shown);
        QVERIFY(usable);
        QCOMPARE(code, 0);
    }
    // The next game shows the holder as the file has it.
    Tavola next(seams.services());
    seams.start(next, QStringLiteral("Bruno"));
    const bool readBack = next.lblnome->Caption() == fromCp1252(toCp1252(name) + "\r\n");
    reliability::outcome("input", QStringLiteral("name: %1").arg(QTest::currentDataTag()),
                         QStringLiteral("typed name"), survived && readBack,
                         saved && readBack ? 0 : 1);
    QVERIFY(saved);
    QVERIFY(readBack);
}

void TestHostile::strangeRecordFiles_data()
{
    addColumns<QByteArray, QByteArray>({"score", "holder"});
    QTest::addColumn<bool>("beaten"); // by a game with one right answer
    QTest::newRow("NUL bytes") << QByteArray("\0\0"
                                             "7\r\n",
                                             5)
                               << QByteArray("\0Anna\0", 6) << true;
    QTest::newRow("only a line break") << QByteArray("\r\n") << QByteArray("\r\n") << true;
    QTest::newRow("1e400") << QByteArray("1e400\r\n") << QByteArray("Anna\r\n") << false;
    QTest::newRow("-0") << QByteArray("-0\r\n") << QByteArray("Anna\r\n") << true;
    QTest::newRow("  7") << QByteArray("  7\r\n") << QByteArray("Anna\r\n") << false;
    QTest::newRow("0.5") << QByteArray("0.5") << QByteArray("Anna") << true;
    QTest::newRow("400 digits") << QByteArray(400, '9') << QByteArray("Anna") << false;
    QTest::newRow("tiny fraction")
        << "0." + QByteArray(400, '0') + "1" << QByteArray("Anna") << true;
    QTest::newRow("undefined bytes")
        << QByteArray("\x81\x8d\x8f\x90\x9d") << QByteArray("\x81\x8d\x8f\x90\x9d") << true;
    QTest::newRow("markup") << QByteArray("<b>9</b>") << QByteArray("<img src=x>") << true;
    QTest::newRow("no line end, many lines")
        << QByteArray("0\n0\n0\n0") << QByteArray("a\rb\nc\r\nd") << true;
}

// The captions hold the bytes exactly; a record that is beaten is replaced, any other is kept.
void TestHostile::strangeRecordFiles()
{
    QFETCH(QByteArray, score);
    QFETCH(QByteArray, holder);
    QFETCH(bool, beaten);
    GameSeams seams;
    seams.write(records::scoreFileName, score);
    seams.write(records::nameFileName, holder);
    Tavola game(seams.services());
    seams.start(game);
    const bool shown = game.lblpunti->Caption() == fromCp1252(score) &&
                       game.lblnome->Caption() == fromCp1252(holder) &&
                       game.lblpunti->textFormat() == Qt::PlainText &&
                       game.lblnome->textFormat() == Qt::PlainText;
    answer(game, rightAnswer(game));
    const bool usable = game.drill().correct() == 1;
    const int code = leaveByExit(seams, game);
    const QByteArray newScore = beaten ? QByteArray("1\r\n") : score;
    const QByteArray newHolder = beaten ? QByteArray("Anna\r\n") : holder;
    const bool kept = seams.bytes(records::scoreFileName) == newScore &&
                      seams.bytes(records::nameFileName) == newHolder;
    reliability::outcome("input", QStringLiteral("record file: %1").arg(QTest::currentDataTag()),
                         QStringLiteral("file content"), shown && usable && code == 0,
                         kept ? 0 : 1);
    QVERIFY(shown);
    QVERIFY(usable);
    QCOMPARE(code, 0);
    QCOMPARE(seams.bytes(records::scoreFileName), newScore);
    QCOMPARE(seams.bytes(records::nameFileName), newHolder);
}

void TestHostile::hugeRecordFiles_data()
{
    addColumns<QString, bool>({"file", "lines"});
    QTest::newRow("score file of 50 MB in lines") << records::scoreFileName << true;
    QTest::newRow("name file of 50 MB in lines") << records::nameFileName << true;
    QTest::newRow("name file of 50 MB in one line") << records::nameFileName << false;
}

// A record file of 50 MB is read whole and kept exactly; the window stays usable.
void TestHostile::hugeRecordFiles()
{
    QFETCH(QString, file);
    QFETCH(bool, lines);
    const QByteArray content = "12\r\n" + bigText(50 * 1024 * 1024, lines);
    GameSeams seams;
    seams.write(records::scoreFileName, "30\r\n");
    seams.write(records::nameFileName, "Anna\r\n");
    seams.write(file, content);
    Tavola game(seams.services());
    const qint64 ms = timedStart(seams, game, QStringLiteral("Bruno"));
    recordTiming(QStringLiteral("start with a %1").arg(QTest::currentDataTag()), ms);
    platform::Label *label = file == records::scoreFileName ? game.lblpunti : game.lblnome;
    const bool exact =
        label->Caption().size() == content.size() && toCp1252(label->Caption()) == content;
    QVERIFY(QTest::qWaitForWindowExposed(game.window()));
    answer(game, rightAnswer(game));
    const bool usable = game.drill().correct() == 1;
    const int code = leaveByExit(seams, game); // 12 or 30 stays the record
    const bool kept = seams.bytes(file) == content;
    reliability::outcome("input", QStringLiteral("record file: %1").arg(QTest::currentDataTag()),
                         QStringLiteral("file content"), exact && usable && code == 0,
                         kept ? 0 : 1);
    QVERIFY(exact);
    QVERIFY(usable);
    QCOMPARE(code, 0);
    QVERIFY(kept);
}

void TestHostile::longCaptionsAreCutOnScreenOnly_data()
{
    addColumns<QString, QString>({"caption", "shown"});
    QString fifty;
    for (int i = 1; i <= 50; ++i)
        fifty += QString::number(i) + QStringLiteral("\r\n");
    QString fiftyShown = fifty;
    fiftyShown.remove(u'\r');
    QTest::newRow("fifty lines and a line break are shown whole") << fifty << fiftyShown;
    QTest::newRow("the fifty-first line is cut")
        << fifty + QStringLiteral("51\r\n52") << fiftyShown + QStringLiteral("…");
    QTest::newRow("a line of 500 is shown whole") << QString(500, u'x') << QString(500, u'x');
    QTest::newRow("a longer line is cut") << QString(501, u'x') + QStringLiteral("\r\n7")
                                          << QString(500, u'x') + QStringLiteral("…\n7");
    QTest::newRow("no half of a character at the cut")
        << QString(499, u'x') + QStringLiteral("😀😀") << QString(499, u'x') + QStringLiteral("…");
    QTest::newRow("carriage returns count for nothing")
        << QString(600, u'\r') + QStringLiteral("12") << QStringLiteral("12");
}

// The label draws a bounded part of a huge caption; Caption() gives back every character.
void TestHostile::longCaptionsAreCutOnScreenOnly()
{
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    auto &&[seams, game] = StartedGame();
    game.lblpunti->setCaption(caption);
    QCOMPARE(game.lblpunti->Caption(), caption);
    QCOMPARE(game.lblpunti->text(), shown);
    const QFontMetrics fm(game.lblpunti->font());
    const qsizetype lines = shown.count(u'\n') + 1;
    QVERIFY(game.lblpunti->height() >= int(lines) * fm.height()); // autosize follows what is shown
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
