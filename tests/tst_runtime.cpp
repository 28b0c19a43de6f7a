// SPDX-License-Identifier: GPL-3.0-or-later
// Number conversions, formatting, colours, random numbers and the one-byte code page.
#include "columns.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/runtime.h"
#include "support/probes.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace platform;

class TestRuntime : public QObject {
    Q_OBJECT
private slots:
    void val_data();
    void val();
    void cintRoundsHalvesToEven_data();
    void cintRoundsHalvesToEven();
    void cintOverflowsOutsideInteger();
    void format_data();
    void format();
    void rgbClampsComponents_data();
    void rgbClampsComponents();
    void rndStaysBelowOne();
    void randomizeUsesSeedSource();
    void cp1252RoundTripsEveryByte();
    void cp1252WritesQuestionMarkForTheUnknown();
    void localPathFoldsSeparators_data();
    void localPathFoldsSeparators();
    void filesByNumber();
    void filesReportItalianErrors();
};

void TestRuntime::val_data()
{
    // clang-format off
    addColumns<QString, double>({"text", "value"});
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("minus alone") << "-" << 0.0;
    QTest::newRow("leading zeros") << "007" << 7.0;
    QTest::newRow("stops at second minus") << "3-1" << 3.0;
    QTest::newRow("negative") << "-4" << -4.0;
    QTest::newRow("line break after") << "12\r\n" << 12.0;
    QTest::newRow("decimal point") << "12.5" << 12.5;
    QTest::newRow("leading blanks") << "  7" << 7.0;
    QTest::newRow("trailing minus") << "8-" << 8.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("several lines") << "15\r\nciao\r\n" << 15.0;
    QTest::newRow("minus zero") << "-0" << 0.0;
    QTest::newRow("exponent is not read") << "1e400" << 1.0;
    QTest::newRow("comma is not a point") << "3,5" << 3.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point last") << "5." << 5.0;
    QTest::newRow("minus and point first") << "-.25" << -0.25;
    QTest::newRow("long fraction") << "0.1234567890123456789" << 0.1234567890123456789;
    QTest::newRow("NUL stops") << QString::fromLatin1("4\0" "2", 3) << 4.0;
    QTest::newRow("too small is zero, not infinite")
        << QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1") << 0.0;
    QTest::newRow("too large is infinite")
        << QStringLiteral("1") + QString(400, u'0') << std::numeric_limits<double>::infinity();
    // clang-format on
}

void TestRuntime::val()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(Val(text), value);
}

void TestRuntime::cintRoundsHalvesToEven_data()
{
    // clang-format off
    addColumns<double, int>({"value", "expected"});
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("2.6") << 2.6 << 3;
    QTest::newRow("top") << 32767.0 << 32767;
    QTest::newRow("bottom") << -32768.0 << -32768;
    QTest::newRow("half below the top") << 32766.5 << 32766;
    // clang-format on
}

void TestRuntime::cintRoundsHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int(CInt(value)), expected);
}

void TestRuntime::cintOverflowsOutsideInteger()
{
    for (double v : {32768.0, 32767.5, -32769.0, 1e300, std::nan("")}) {
        QVERIFY2(!fitsInteger(v), qPrintable(QString::number(v)));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, CInt(v));
    }
}

void TestRuntime::format_data()
{
    // clang-format off
    addColumns<double, QString, QString>({"value", "pattern", "text"});
    QTest::newRow("00 zero") << 0.0 << "00" << "00";
    QTest::newRow("00 seven") << 7.0 << "00" << "07";
    QTest::newRow("00 fifteen") << 15.0 << "00" << "15";
    QTest::newRow("#0 zero") << 0.0 << "#0" << "0";
    QTest::newRow("#0 ten") << 10.0 << "#0" << "10";
    QTest::newRow("###0") << 100.0 << "###0" << "100";
    QTest::newRow("####0 big") << 32767.0 << "####0" << "32767";
    QTest::newRow("empty pattern") << 14.0 << "" << "14";
    QTest::newRow("empty pattern zero") << 0.0 << "" << "0";
    QTest::newRow("negative") << -4.0 << "####0" << "-4";
    // clang-format on
}

void TestRuntime::format()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QCOMPARE(Format(value, pattern), text);
}

void TestRuntime::rgbClampsComponents_data()
{
    // clang-format off
    addColumns<int, int, int, int>({"r", "g", "b", "colour"});
    QTest::newRow("black") << 0 << 0 << 0 << 0;
    QTest::newRow("base 1 exponent 0") << 20 << 0 << 50 << (20 + 65536 * 50);
    QTest::newRow("base 6: blue 300 is full") << 120 << 0 << 300 << (120 + 65536 * 255);
    QTest::newRow("base 10 exponent 2") << 200 << 40 << 500 << (200 + 256 * 40 + 65536 * 255);
    QTest::newRow("all above") << 999 << 256 << 1000 << 0xFFFFFF;
    // clang-format on
}

void TestRuntime::rgbClampsComponents()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(int, colour);
    QCOMPARE(RGB(r, g, b), colour);
}

void TestRuntime::rndStaysBelowOne()
{
    std::uint64_t seed = 7;
    Random random([&seed] { return seed++; });
    float lowest = 1, highest = 0;
    for (int i = 0; i < 20000; ++i) {
        random.Randomize();
        const float r = random.Rnd();
        QVERIFY(r >= 0.0f && r < 1.0f);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    QVERIFY(lowest < 0.01f);
    QVERIFY(highest > 0.99f);
}

void TestRuntime::randomizeUsesSeedSource()
{
    Random fixed([] { return std::uint64_t(42); });
    fixed.Randomize();
    const float first = fixed.Rnd();
    fixed.Randomize();
    QCOMPARE(fixed.Rnd(), first);
    Random clock;
    clock.Randomize();
    const float a = clock.Rnd();
    clock.Randomize();
    const float b = clock.Rnd();
    QVERIFY2(a != b, "two reseeds from the clock gave the same value");
}

void TestRuntime::cp1252RoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString text = fromCp1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x81), QChar(0x81));
    QCOMPARE(text.at(0xE8), QChar(u'è'));
    QCOMPARE(toCp1252(text), all);
}

void TestRuntime::cp1252WritesQuestionMarkForTheUnknown()
{
    QCOMPARE(toCp1252(QStringLiteral("è€")), QByteArray("\xE8\x80"));
    QCOMPARE(toCp1252(QStringLiteral("ж")), QByteArray("?"));
    QCOMPARE(toCp1252(QString::fromUtf8("a\xF0\x9F\x98\x80z")), QByteArray("a?z"));
}

void TestRuntime::localPathFoldsSeparators_data()
{
    // clang-format off
    addColumns<QString, QString>({"path", "local"});
    QTest::newRow("doubled backslash") << "/tmp/v\\\\vora.txt" << "/tmp/v/vora.txt";
    QTest::newRow("single") << "/tmp/v\\vora.txt" << "/tmp/v/vora.txt";
    QTest::newRow("mixed") << "/tmp//v/\\vora.txt" << "/tmp/v/vora.txt";
    // clang-format on
}

void TestRuntime::localPathFoldsSeparators()
{
    QFETCH(QString, path);
    QFETCH(QString, local);
    QCOMPARE(localPath(path), local);
}

void TestRuntime::filesByNumber()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("\\\\f.txt");
    const int n = FreeFile();
    Open(path, OpenMode::Append, n);
    QCOMPARE(LOF(n), 0);
    QCOMPARE(FreeFile(), n + 1);
    Close(n);
    QFile raw(dir.path() + QStringLiteral("/f.txt"));
    QVERIFY(raw.open(QIODevice::WriteOnly) && raw.write("13\r\n\xE8\r\n") == 7);
    raw.close();
    Open(path, OpenMode::Input, n);
    QCOMPARE(LOF(n), 7);
    QCOMPARE(Input(LOF(n), n), QStringLiteral("13\r\nè\r\n"));
    Close(n);
    QCOMPARE(openFileCount(), 0);
}

void TestRuntime::filesReportItalianErrors()
{
    QTemporaryDir dir;
    const int n = FreeFile();
    try {
        Open(dir.path() + QStringLiteral("\\nope.txt"), OpenMode::Input, n);
        QFAIL("opened a missing file");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), int(errFileNotFound));
        QVERIFY2(e.message().contains(QStringLiteral("nope.txt")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("non esiste")), qPrintable(e.message()));
    }
    QDir(dir.path()).mkdir(QStringLiteral("vora.txt"));
    try {
        Open(dir.path() + QStringLiteral("\\vora.txt"), OpenMode::Input, n);
        QFAIL("opened a directory");
    } catch (const RuntimeError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("cartella")), qPrintable(e.message()));
    }
    QCOMPARE(openFileCount(), 0);
}

QTEST_GUILESS_MAIN(TestRuntime)
#include "tst_runtime.moc"
