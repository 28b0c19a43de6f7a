// SPDX-License-Identifier: GPL-3.0-or-later
// The window in Windows' own fonts, on the real windows platform (under Wine with Windows' font
// set): outline faces at the designed sizes and weights, every caption whole, every control where
// the design puts it, and boxes and menus in the system's fonts.
#include "fixture.h"
#include "ui/tavola_design.h"
#include "widgets/form.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QToolTip>

#include <algorithm>

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

qsizetype trailingSpaces(const QString &line)
{
    qsizetype n = 0;
    while (n < line.size() && line.at(line.size() - 1 - n) == u' ')
        ++n;
    return n;
}

// Whether every line of text fits the rectangle in the font.
bool fits(const QString &text, const QFont &font, const QRect &room)
{
    const QFontMetrics metrics(font);
    const QStringList lines = QString(text).remove(u'\r').split(u'\n');
    for (const QString &line : lines) {
        // What is drawn: the ink of the letters, not the room the face keeps beside them.
        if (metrics.tightBoundingRect(line.left(line.size() - trailingSpaces(line))).right() >=
            room.width())
            return false;
    }
    // The last line's descent may go: captions hold few letters that reach below the line.
    return (lines.size() - 1) * metrics.lineSpacing() + metrics.ascent() <= room.height();
}

// Whether a button lies over the whole control, which then shows nothing (the design hides
// Command1 under cmdNext).
bool covered(QWidget *w)
{
    const auto buttons =
        w->parentWidget()->findChildren<QAbstractButton *>(Qt::FindDirectChildrenOnly);
    return std::any_of(buttons.cbegin(), buttons.cend(), [w](QAbstractButton *b) {
        return b != w && b->isVisible() && b->geometry().contains(w->geometry());
    });
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
    game.window()->grab().save(QStringLiteral("window-windows-fonts.png"));
    for (const ControlDesc &c : ui::tavolaDesign().controls) {
        QWidget *w = widget(game, c.name);
        // Arial and Times New Roman are Windows' own faces, as designed (the "=" in Arial 72 is
        // wider than its label there too); the faces that stand in for the bitmap ones must fit.
        if (!w || covered(w) || !c.font || !isBitmapFace(c.font->family))
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(w);
            button && !button->text().isEmpty()) {
            // The button's own need: caption, picture and the style's margins.
            QVERIFY2(button->sizeHint().width() <= button->width(), c.name);
        } else if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
            QVERIFY2(
                fits(label->text(), label->font(), label->contentsRect()),
                qPrintable(QStringLiteral("%1: \"%2\" in %3 px, %4 px wide")
                               .arg(c.name, label->text(), QFontInfo(label->font()).family())
                               .arg(QFontMetrics(label->font()).horizontalAdvance(label->text()))));
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
    const std::pair<QFont, const LOGFONTW &> uses[] = {
        {QApplication::font("QMessageBox"), metrics.lfMessageFont},
        {QApplication::font("QMenu"), metrics.lfMenuFont},
        {QToolTip::font(), metrics.lfStatusFont},
    };
    // The face the system names may be an alias ("MS Shell Dlg"): what matters is that the
    // fonts come out as the system's face does, not as the toolkit's default.
    for (const auto &[font, system] : uses) {
        const QFont asked(QString::fromWCharArray(system.lfFaceName));
        QCOMPARE(QFontInfo(font).family(), QFontInfo(asked).family());
    }
}

QTEST_MAIN(TestFaces)
#include "tst_faces.moc"
