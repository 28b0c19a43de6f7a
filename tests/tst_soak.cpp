// SPDX-License-Identifier: GPL-3.0-or-later
// Five hundred new games in one process after a warm-up: no widget, open file or memory may pile
// up from one game to the next.
#include "fixture.h"
#include "platform/files.h"
#include "reliability.h"

#include <QElapsedTimer>

#include <malloc.h>

using namespace platform;

class TestSoak : public QObject {
    Q_OBJECT
private slots:
    void fiveHundredGamesAfterWarmUp();
};

namespace {

struct Usage {
    qsizetype widgets = 0;
    qsizetype files = 0;
    qint64 rssKb = 0;
    qint64 heapKb = 0;
};

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

Usage usageNow()
{
    // What an unloaded window left for the event loop goes first, as the loop would do it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Usage u;
    u.widgets = QApplication::allWidgets().size();
    u.files = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System).size();
    u.rssKb = residentKb();
    u.heapKb = qint64(mallinfo2().uordblks / 1024);
    return u;
}

bool sanitized()
{
    return std::string_view(reliability::buildName()) == "sanitize";
}

// One game: a few answers, a few ticks of the clock; now and then a record.
void play(Tavola &game, int number)
{
    const int right = number % 25 == 0 ? 2 + number / 25 : 1;
    answerRight(game, right);
    answer(game, QString::number(game.drill().expectedAnswer() + 1));
    for (int i = 0; i < 3; ++i)
        emit game.Timer1->Tick();
}

// The menu's new game, confirmed, with the next player's name.
void newGame(GameSeams &seams, Tavola &game, int number)
{
    seams.dialogs.answer(vbYes);
    seams.dialogs.type(QStringLiteral("Giocatore %1").arg(number));
    seams.dialogs.answer(vbOK);
    game.Next->trigger();
    seams.dialogs.clearCalls();
    QVERIFY(QTest::qWaitForWindowActive(game.window()));
    QTRY_COMPARE(QApplication::focusWidget(), game.txtAnswer);
}

} // namespace

void TestSoak::fiveHundredGamesAfterWarmUp()
{
    // Qt's pixmap cache takes in the pictures of each new window until it reaches its limit of
    // 10 MB, some 250 games on: the measured games come after that.
    const int warmUp = 300;
    const int games = warmUp + 500;
    GameSeams seams;
    Tavola game(seams.services());
    seams.start(game, QStringLiteral("Giocatore 0"));
    QElapsedTimer clock;
    clock.start();
    Usage before;
    for (int n = 1; n <= games; ++n) {
        play(game, n);
        newGame(seams, game, n);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(game.isLoaded());
        QCOMPARE(game.lblnome1->Caption(), QStringLiteral("Giocatore %1").arg(n));
        QCOMPARE(openFileCount(), 0);
        QCOMPARE(seams.dialogs.pendingAnswers(), 0);
        if (n == warmUp)
            before = usageNow();
    }
    const Usage after = usageNow();
    const qint64 seconds = clock.elapsed() / 1000;
    reliability::record({{QStringLiteral("kind"), QStringLiteral("soak")},
                         {QStringLiteral("games"), games - warmUp},
                         {QStringLiteral("warm_up"), warmUp},
                         {QStringLiteral("widgets_before"), before.widgets},
                         {QStringLiteral("widgets_after"), after.widgets},
                         {QStringLiteral("fds_before"), before.files},
                         {QStringLiteral("fds_after"), after.files},
                         {QStringLiteral("rss_before_kb"), before.rssKb},
                         {QStringLiteral("rss_after_kb"), after.rssKb},
                         {QStringLiteral("heap_before_kb"), before.heapKb},
                         {QStringLiteral("heap_after_kb"), after.heapKb},
                         {QStringLiteral("seconds"), seconds}});
    QCOMPARE(after.widgets, before.widgets);
    QCOMPARE(after.files, before.files);
    QVERIFY(seams.bytes(records::scoreFileName) == QByteArray::number(2 + games / 25) + "\r\n");
    if (sanitized())
        return; // AddressSanitizer holds freed memory in quarantine; LeakSanitizer checks instead
    // One window kept per game would be tens of megabytes by now.
    QVERIFY2(after.rssKb - before.rssKb < 3 * 1024,
             qPrintable(QStringLiteral("VmRSS %1 -> %2 kB").arg(before.rssKb).arg(after.rssKb)));
    QVERIFY2(after.heapKb - before.heapKb < 1536,
             qPrintable(QStringLiteral("heap %1 -> %2 kB").arg(before.heapKb).arg(after.heapKb)));
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
