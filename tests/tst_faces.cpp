// SPDX-License-Identifier: GPL-3.0-or-later
// The window in Windows' own fonts, on the real windows platform (under Wine with Windows' font
// set): outline faces at the designed sizes and weights, every caption whole, every control where
// the design puts it, and boxes and menus in the system's fonts.
#include "fixture.h"
#include "platform/form.h"
#include "ui/tavola_design.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QToolTip>

#include <windows.h>

using namespace platform;

class TestFaces : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void designFacesAreOutlinesAtTheirSizeAndWeight();
    void everyCaptionFitsItsControl();
    void everyControlWhereTheDesignPutsIt();
    void boxesMenusAndTooltipsInTheSystemFonts();
};

namespace {

QWidget *widget(Tavola &game, const char *name)
{
    return qobject_cast<QWidget *>(game.window()->control(QString::fromLatin1(name)));
}

// The bitmap faces of the design: drawn at a few sizes only, never bold.
bool isBitmapFace(const QString &family)
{
    return family == QStringLiteral("MS Sans Serif") || family == QStringLiteral("MS Serif");
}

// Whether every line of text fits the rectangle in the font.
bool fits(const QString &text, const QFont &font, const QRect &room)
{
    const QFontMetrics metrics(font);
    const QStringList lines = QString(text).remove(u'\r').split(u'\n');
    for (const QString &line : lines) {
        if (metrics.horizontalAdvance(line) > room.width())
            return false;
    }
    return lines.size() * metrics.height() <= room.height() + metrics.leading();
}

} // namespace

void TestFaces::initTestCase()
{
    if (QGuiApplication::platformName() != QStringLiteral("windows"))
        QSKIP("the fonts of the windows platform are what this test is about");
}

void TestFaces::designFacesAreOutlinesAtTheirSizeAndWeight()
{
    auto &&[seams, game] = StartedGame();
    for (const ControlDesc &c : ui::tavolaDesign().controls) {
        QWidget *w = widget(game, c.name);
        if (!c.font || !w)
            continue;
        const QFontInfo info(w->font());
        const QByteArray what = QByteArray(c.name) + ": " + info.family().toUtf8();
        QVERIFY2(!isBitmapFace(info.family()), what);
        QVERIFY2(QFontDatabase::isSmoothlyScalable(info.family(), info.styleName()), what);
        QVERIFY2(qAbs(info.pixelSize() - qRound(c.font->points * 96 / 72)) <= 1, what);
        QVERIFY2(info.bold() == c.font->bold, what);
    }
}

void TestFaces::everyCaptionFitsItsControl()
{
    auto &&[seams, game] = StartedGame(QStringLiteral("Massimiliano"));
    answer(game, QStringLiteral("1"));
    game.window()->grab().save(QStringLiteral("window-in-windows-fonts.png"));
    for (const ControlDesc &c : ui::tavolaDesign().controls) {
        QWidget *w = widget(game, c.name);
        if (auto *button = qobject_cast<QAbstractButton *>(w);
            button && !button->text().isEmpty()) {
            // The button's own need: caption, picture and the style's margins.
            QVERIFY2(button->sizeHint().width() <= button->width(), c.name);
        } else if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
            QVERIFY2(fits(label->text(), label->font(), label->contentsRect()),
                     qPrintable(QStringLiteral("%1: \"%2\"").arg(c.name, label->text())));
        }
    }
}

// As on Linux: the designed rectangle at 15 twips a pixel; a label that sizes itself keeps its
// top left corner.
void TestFaces::everyControlWhereTheDesignPutsIt()
{
    auto &&[seams, game] = StartedGame();
    for (const ControlDesc &c : ui::tavolaDesign().controls) {
        QWidget *w = widget(game, c.name);
        if (!w || c.kind == ControlKind::Timer)
            continue;
        const QRect designed(pixels(c.left), pixels(c.top), pixels(c.width), pixels(c.height));
        if (c.autoSize)
            QCOMPARE(w->geometry().topLeft(), designed.topLeft());
        else
            QCOMPARE(w->geometry(), designed);
    }
}

void TestFaces::boxesMenusAndTooltipsInTheSystemFonts()
{
    auto &&[seams, game] = StartedGame();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    QVERIFY(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    const auto expect = [](const QFont &font, const LOGFONTW &system) {
        const QString face = QString::fromWCharArray(system.lfFaceName);
        if (!QFontDatabase::families().contains(face))
            QSKIP("the system's own face is not installed");
        QCOMPARE(QFontInfo(font).family(), face);
    };
    expect(QApplication::font("QMessageBox"), metrics.lfMessageFont);
    expect(QApplication::font("QMenu"), metrics.lfMenuFont);
    expect(QToolTip::font(), metrics.lfStatusFont);
}

QTEST_MAIN(TestFaces)
#include "tst_faces.moc"
