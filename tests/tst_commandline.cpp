// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: help and version without a window, one-line errors, the toolkit's options.
#include "columns.h"
#include "game/commandline.h"
#include "platform/guide.h"

#include <QtTest>

using namespace game;
using namespace platform;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void outcome_data();
    void outcome();
    void helpIsItalianAndNamesEveryOption();
};

void TestCommandLine::outcome_data()
{
    addColumns<QStringList, bool, int, QString, QString, bool, bool>(
        {"arguments", "play", "status", "output", "error", "pad", "full"});

    const QString ver = QStringLiteral("vorandi " VORANDI_VERSION "\n");
    QTest::newRow("nothing plays") << QStringList{} << true << 0 << ""
                                   << "" << false << false;
    QTest::newRow("--version") << QStringList{"--version"} << false << 0 << ver << "" << false
                               << false;
    QTest::newRow("-v") << QStringList{"-v"} << false << 0 << ver << "" << false << false;
    QTest::newRow("session restart plays") << QStringList{"-session", "1a2b3c_4"} << true << 0 << ""
                                           << "" << false << false;
    QTest::newRow("platform and style play")
        << QStringList{"-platform", "xcb", "--style=fusion", "-reverse"} << true << 0 << ""
        << "" << false << false;
    QTest::newRow("unknown long option")
        << QStringList{"--fullscreen"} << false << 2 << ""
        << "vorandi: opzione sconosciuta: --fullscreen (vedere: vorandi --help)\n"
        << false << false;
    QTest::newRow("unknown short option")
        << QStringList{"-x"} << false << 2 << ""
        << "vorandi: opzione sconosciuta: -x (vedere: vorandi --help)\n"
        << false << false;
    QTest::newRow("unknown option after a good one")
        << QStringList{"--version", "--bogus"} << false << 2 << ""
        << "vorandi: opzione sconosciuta: --bogus (vedere: vorandi --help)\n"
        << false << false;
    QTest::newRow("toolkit option without its value")
        << QStringList{"-platform"} << false << 2 << ""
        << "vorandi: manca il valore dell'opzione -platform (vedere: vorandi --help)\n"
        << false << false;
    QTest::newRow("value given to a flag")
        << QStringList{"--version=2"} << false << 2 << ""
        << "vorandi: argomenti non validi (vedere: vorandi --help)\n"
        << false << false;
    QTest::newRow("stray argument")
        << QStringList{"vora.txt"} << false << 2 << ""
        << "vorandi: argomento inatteso: vora.txt (vedere: vorandi --help)\n"
        << false << false;
    QTest::newRow("the number pad") << QStringList{"--tastierino"} << true << 0 << ""
                                    << "" << true << false;
    QTest::newRow("the whole screen, the pad")
        << QStringList{"--schermo-intero", "--tastierino"} << true << 0 << ""
        << "" << true << true;
}

void TestCommandLine::outcome()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, play);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, error);
    QFETCH(bool, pad);
    QFETCH(bool, full);
    arguments.prepend(QStringLiteral("/usr/games/vorandi"));
    const CommandLineOutcome got = readCommandLine(arguments);
    QCOMPARE(got.play, play);
    QCOMPARE(got.status, status);
    QCOMPARE(got.output, output);
    QCOMPARE(got.error, error);
    QCOMPARE(got.numberPad, pad);
    QCOMPARE(got.fullScreen, full);
}

void TestCommandLine::helpIsItalianAndNamesEveryOption()
{
    // This system's own way of asking ("/?" on Windows) works wherever it stands.
    QStringList asks{"--help", "-h"};
    for (const QString &word : systemHelpSwitches())
        asks << word << QStringLiteral("--version ") + word;
    for (const QString &ask : asks) {
        const CommandLineOutcome got = readCommandLine(QStringList{"vorandi"} + ask.split(u' '));
        QVERIFY(!got.play);
        QCOMPARE(got.status, 0);
        QVERIFY(got.error.isEmpty());
        QVERIFY(got.output.startsWith(QStringLiteral("Uso: vorandi [opzioni]\n")));
        QVERIFY(got.output.contains(QStringLiteral("-h, --help")));
        QVERIFY(got.output.contains(QStringLiteral("-v, --version")));
        QVERIFY(got.output.contains(QStringLiteral("--tastierino")));
        QVERIFY(got.output.contains(QStringLiteral("--schermo-intero")));
        QVERIFY(got.output.endsWith(furtherReading() + u'\n'));
        // The toolkit's options are accepted but not advertised.
        QVERIFY(!got.output.contains(QStringLiteral("session")));
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
