// SPDX-License-Identifier: GPL-3.0-or-later
// The drill's rules without a window: questions, scoring, counters, countdown and the record.
#include "columns.h"
#include "rules/drill.h"
#include "rules/texts.h"
#include "widgets/timer.h"

#include <QtTest>

#include <cmath>
#include <deque>
#include <utility>

using game::Drill;

namespace {

// Gives the values a test asks for, and counts the reseeds.
class ScriptedRandom : public platform::RandomSource {
public:
    std::deque<platform::Single> values;
    int reseeds = 0;
    void Randomize() override { ++reseeds; }
    platform::Single Rnd() override
    {
        const platform::Single v = values.front();
        values.pop_front();
        return v;
    }
};

// Scores the question's own answer n times.
void answerRight(Drill &drill, int n)
{
    for (int i = 0; i < n; ++i)
        drill.score(QString::number(drill.expectedAnswer()));
}

} // namespace

class TestDrill : public QObject {
    Q_OBJECT
private slots:
    void drawsFromTheRandomSource_data();
    void drawsFromTheRandomSource();
    void readsTheTypedAnswer_data();
    void readsTheTypedAnswer();
    void countersStopAtTheTop();
    void recordRule_data();
    void recordRule();
    void recordNoticeAtOnePastTheRecord();
    void clockCountsDownToZero();
    void clockFaces_data();
    void clockFaces();
    void clockCountsTheIntervalsThatPassed_data();
    void clockCountsTheIntervalsThatPassed();
    void designNumbers();
    void designTexts_data();
    void designTexts();
};

namespace {

// The two draws that give base to the exponent: each in the middle of its value's share.
std::deque<platform::Single> drawsFor(int base, int exponent)
{
    using namespace game;
    return {(float(base - baseMin) + 0.5f) / float(baseMax - baseMin + 1),
            (float(exponent - exponentMin) + 0.5f) / float(exponentMax - exponentMin + 1)};
}

int power(int base, int exponent)
{
    return int(std::lround(std::pow(base, exponent)));
}

} // namespace

void TestDrill::drawsFromTheRandomSource_data()
{
    using namespace game;
    addColumns<float, float, int, int, int>({"first", "second", "base", "exponent", "expected"});
    QTest::newRow("lowest") << 0.0f << 0.0f << baseMin << exponentMin
                            << power(baseMin, exponentMin);
    QTest::newRow("highest") << 0.99999994f << 0.99999994f << baseMax << exponentMax
                             << power(baseMax, exponentMax);
    for (const auto &[base, exponent] : {std::pair{7, 2}, std::pair{5, 1}}) {
        const auto draws = drawsFor(base, exponent);
        QTest::addRow("%d to the %d", base, exponent)
            << draws[0] << draws[1] << base << exponent << power(base, exponent);
    }
}

void TestDrill::drawsFromTheRandomSource()
{
    QFETCH(float, first);
    QFETCH(float, second);
    QFETCH(int, base);
    QFETCH(int, exponent);
    QFETCH(int, expected);
    ScriptedRandom random;
    random.values = {first, second};
    Drill drill(random);
    drill.drawQuestion();
    QCOMPARE(random.reseeds, 1); // every question reseeds before it draws
    QCOMPARE(int(drill.base()), base);
    QCOMPARE(int(drill.exponent()), exponent);
    QCOMPARE(int(drill.expectedAnswer()), expected);
}

void TestDrill::readsTheTypedAnswer_data()
{
    addColumns<QString, bool>({"typed", "right"});
    QTest::newRow("plain") << "49" << true;
    QTest::newRow("leading zeros") << "0049" << true;
    QTest::newRow("stops at a minus") << "49-1" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("negative") << "-49" << false;
    QTest::newRow("beyond the Integer range") << "65585" << false;
}

void TestDrill::readsTheTypedAnswer()
{
    QFETCH(QString, typed);
    QFETCH(bool, right);
    ScriptedRandom random;
    random.values = drawsFor(7, 2);
    Drill drill(random);
    drill.drawQuestion();
    QCOMPARE(drill.score(typed), right);
    QCOMPARE(int(drill.correct()), right ? 1 : 0);
    QCOMPARE(int(drill.wrong()), right ? 0 : 1);
}

void TestDrill::countersStopAtTheTop()
{
    ScriptedRandom random;
    random.values = {0.0f, 0.0f};
    Drill drill(random);
    drill.drawQuestion();
    answerRight(drill, 32770);
    QCOMPARE(int(drill.correct()), 32767);
    drill.score(QStringLiteral("2"));
    QCOMPARE(int(drill.wrong()), 1);
    QCOMPARE(int(drill.total()), 32767);
    drill.resetCounts();
    QCOMPARE(int(drill.total()), 0);
}

void TestDrill::recordRule_data()
{
    addColumns<QString, int, bool>({"recordText", "score", "beats"});
    QTest::newRow("one above") << "12\r\n" << 13 << true;
    QTest::newRow("equal keeps the record") << "12\r\n" << 12 << false;
    QTest::newRow("below") << "12\r\n" << 11 << false;
    QTest::newRow("fraction below") << "12.5" << 12 << false;
    QTest::newRow("fraction above") << "12.5" << 13 << true;
    QTest::newRow("empty file, no answer") << "" << 0 << false;
    QTest::newRow("empty file, one answer") << "" << 1 << true;
    QTest::newRow("not a number") << "abc" << 1 << true;
}

void TestDrill::recordRule()
{
    QFETCH(QString, recordText);
    QFETCH(int, score);
    QFETCH(bool, beats);
    ScriptedRandom random;
    random.values = {0.0f, 0.0f};
    Drill drill(random);
    drill.setRecord(recordText);
    drill.drawQuestion();
    answerRight(drill, score);
    QCOMPARE(drill.scoreBeatsRecord(), beats);
    QCOMPARE(game::beatsRecord(score, drill.record()), beats);
}

void TestDrill::recordNoticeAtOnePastTheRecord()
{
    ScriptedRandom random;
    random.values = {0.0f, 0.0f};
    Drill drill(random);
    drill.setRecord(QStringLiteral("2\r\n"));
    drill.drawQuestion();
    QList<bool> notices;
    for (int i = 0; i < 5; ++i) {
        notices << drill.recordJustPassed();
        answerRight(drill, 1);
    }
    QCOMPARE(notices, (QList<bool>{false, false, false, true, false}));
}

void TestDrill::clockCountsDownToZero()
{
    ScriptedRandom random;
    Drill drill(random);
    QVERIFY(!drill.clockAtZero()); // a clock never started is not at zero
    drill.startClock();
    QCOMPARE(drill.clockText(), game::clockText(game::gameSeconds));
    QCOMPARE(drill.clockInWords(), game::clockInWords(game::gameSeconds));
    QCOMPARE(drill.secondsLeft(), game::gameSeconds);
    drill.tick();
    QCOMPARE(drill.clockText(), game::clockText(game::gameSeconds - 1));
    QCOMPARE(drill.minutesLeft(), (game::gameSeconds - 1) / 60);
    for (int i = 1; i < game::gameSeconds; ++i) {
        QVERIFY(!drill.clockAtZero());
        drill.tick();
    }
    QCOMPARE(drill.clockText(), QStringLiteral("00:00:00"));
    QVERIFY(drill.clockAtZero());
}

void TestDrill::clockFaces_data()
{
    addColumns<int, QString, QString>({"seconds", "shown", "words"});
    const struct {
        int seconds;
        const char *shown, *words;
    } rows[] = {{900, "00:15:00", "15 minuti"},
                {796, "00:13:16", "13 minuti e 16 secondi"},
                {61, "00:01:01", "1 minuto e 1 secondo"},
                {60, "00:01:00", "1 minuto"},
                {59, "00:00:59", "59 secondi"},
                {0, "00:00:00", "0 secondi"},
                {3725, "01:02:05", "62 minuti e 5 secondi"}};
    for (const auto &row : rows)
        QTest::addRow("%d seconds", row.seconds)
            << row.seconds << QString::fromUtf8(row.shown) << QString::fromUtf8(row.words);
}

void TestDrill::clockFaces()
{
    QFETCH(int, seconds);
    QFETCH(QString, shown);
    QFETCH(QString, words);
    QCOMPARE(game::clockText(seconds), shown);
    QCOMPARE(game::clockInWords(seconds), words);
}

// A browser wakes a hidden tab's timer late, or a frozen one not at all: each wake-up counts the
// whole seconds that really passed, and a box's time (skipped) none.
void TestDrill::clockCountsTheIntervalsThatPassed_data()
{
    addColumns<QList<qint64>, QList<int>, qint64>({"wakeUps", "ticks", "skippedAt"});
    QTest::newRow("on time") << QList<qint64>{1000, 2003, 3001} << QList<int>{1, 1, 1} << -1LL;
    QTest::newRow("a little early") << QList<qint64>{995, 1990} << QList<int>{1, 1} << -1LL;
    QTest::newRow("hidden a minute") << QList<qint64>{1000, 61020} << QList<int>{1, 60} << -1LL;
    QTest::newRow("late, phase kept") << QList<qint64>{1700, 2010} << QList<int>{1, 1} << -1LL;
    QTest::newRow("twice in a second") << QList<qint64>{1000, 1400} << QList<int>{1, 0} << -1LL;
    QTest::newRow("frozen ten minutes") << QList<qint64>{600500} << QList<int>{600} << -1LL;
    QTest::newRow("box open") << QList<qint64>{1000, 9500} << QList<int>{1, 0} << 9000LL;
}

void TestDrill::clockCountsTheIntervalsThatPassed()
{
    QFETCH(QList<qint64>, wakeUps);
    QFETCH(QList<int>, ticks);
    QFETCH(qint64, skippedAt);
    platform::IntervalCount count;
    count.start(0);
    QList<int> counted;
    for (qint64 now : wakeUps) {
        if (skippedAt >= 0 && now > skippedAt && counted.size() == 1)
            count.skip(skippedAt);
        counted << count.due(now, 1000);
    }
    QCOMPARE(counted, ticks);
}

// The design's numbers, pinned once here: every other test takes them from the rules.
void TestDrill::designNumbers()
{
    QCOMPARE(game::gameSeconds, 15 * 60);
    QCOMPARE(game::baseMin, 1);
    QCOMPARE(game::baseMax, 10);
    QCOMPARE(game::exponentMin, 0);
    QCOMPARE(game::exponentMax, 2);
    QCOMPARE(game::largestAnswer, power(game::baseMax, game::exponentMax));
}

void TestDrill::designTexts_data()
{
    namespace text = game::text;
    addColumns<QString, QString>({"text", "designed"});
    const std::pair<const QString &, const char *> texts[] = {
        {text::namePrompt, "Come ti chiami"},
        {text::greeting, " %1 vediamo se sei un vero campione  "},
        {text::recordPassed, "E' record"},
        {text::right, "Esatto, è incredibile!!!"},
        {text::wrong, "Sbagliato!! %1"},
        {text::wrongSpoken, "Sbagliato!! La risposta giusta era %1"},
        {text::caption, "Vorandi"},
        {text::goodbye, "Ciao a presto. Ore %1"},
        {text::goodbyeTitle, "Data %1"},
        {text::goodbyeSpoken, "Ciao a presto. Il tempo è finito: %1 risposte esatte su %2. "},
        {text::recordBeaten, "Hai battuto il record!"},
        {text::recordNotBeaten, "Il record non è battuto."},
        {text::leaveQuestion, "Vuoi veramente lasciarmi  ?"},
        {text::leaveTitle, "Uscire dal programma"},
        {text::newGameQuestion, "INIZIAMO UNA NUOVA GARA  ?"},
        {text::newGameTitle, "INIZIARE NUOVA GARA"},
        {text::recordSaved, "Ok ho registrato il tuo record, C A M P I O N E\""},
        {text::recordKeptAside, "Il tuo record è stato messo da parte: un'altra partita di "
                                "Vorandi stava usando il record. Lo registrerà la prossima "
                                "partita."},
    };
    for (const auto &[text, designed] : texts)
        QTest::newRow(designed) << text << QString::fromUtf8(designed);
}

// The design's texts, pinned once here: every other test, the fuzzers and the scripts take them
// from the table.
void TestDrill::designTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, designed);
    QCOMPARE(text, designed);
}

QTEST_GUILESS_MAIN(TestDrill)
#include "tst_drill.moc"
