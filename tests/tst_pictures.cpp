// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures: their files field by field, Qt reading them, and where the window shows them.
#include "fixture.h"
#include "ui/tavola_design.h"

#include <QIcon>
#include <QImageReader>
#include <QtEndian>

using namespace platform;

class TestPictures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void iconFileLayout_data();
    void iconFileLayout();
    void cursorFileLayout();
    void bitmapFileLayout();
    void qtReadsEveryIcon_data();
    void qtReadsEveryIcon();
    void qtReadsCursorAndBitmap();
    void picturesAreReadInTheFormatTheirNamesGive();
    void windowIconAndPointer();
    void buttonsShowTheirFaces();
    void stopwatchAtNaturalSize();
    void backgroundStaysWhileTheFrameChangesColour();
};

namespace {

QByteArray resource(const QString &name)
{
    QFile f(QStringLiteral(":/pics/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint16 u16(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

qint32 i32(const QByteArray &b, int at)
{
    return qFromLittleEndian<qint32>(b.constData() + at);
}

// The 16 colours of the standard VGA palette, in the order the icons store them.
const QList<QRgb> vga16 = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};

QList<QRgb> palette(const QByteArray &b, int at, int count)
{
    QList<QRgb> colours;
    for (int i = 0; i < count; ++i) {
        const int p = at + 4 * i;
        colours << qRgb(uchar(b.at(p + 2)), uchar(b.at(p + 1)), uchar(b.at(p)));
    }
    return colours;
}

// The fourth byte of each palette entry is reserved and must be zero.
bool reservedBytesZero(const QByteArray &b, int at, int count)
{
    for (int i = 0; i < count; ++i) {
        if (b.at(at + 4 * i + 3) != 0)
            return false;
    }
    return true;
}

// Whether pixel (x, y) of an icon image is transparent, read from its AND mask (rows bottom-up,
// each padded to four bytes).
bool maskedOut(const QByteArray &b, int maskAt, int size, int x, int y)
{
    const int stride = (size + 31) / 32 * 4;
    const int row = size - 1 - y;
    return (uchar(b.at(maskAt + row * stride + x / 8)) >> (7 - x % 8)) & 1;
}

// The same picture as an image in one format, for pixel comparisons.
QImage argb(const QPixmap &p)
{
    return p.toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage argb(const QString &name)
{
    return QImage(QStringLiteral(":/pics/") + name).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

void TestPictures::initTestCase()
{
    ui::initResources();
}

void TestPictures::iconFileLayout_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"window", "smile", "neutral", "laugh", "noentry", "stopwatch"})
        QTest::newRow(name) << QString::fromLatin1(name) + QStringLiteral(".ico");
}

void TestPictures::iconFileLayout()
{
    QFETCH(QString, name);
    const QByteArray b = resource(name);
    QCOMPARE(b.size(), 1078);
    QCOMPARE(u16(b, 0), quint16(0));
    QCOMPARE(u16(b, 2), quint16(1)); // an icon, not a cursor
    QCOMPARE(u16(b, 4), quint16(2));
    struct Entry {
        int size, bytes, offset, xorBytes, maskBytes;
    };
    for (int i = 0; const Entry e : {Entry{32, 744, 38, 512, 128}, Entry{16, 296, 782, 128, 64}}) {
        const int at = 6 + 16 * i++;
        QCOMPARE(int(uchar(b.at(at))), e.size);
        QCOMPARE(int(uchar(b.at(at + 1))), e.size);
        QCOMPARE(int(uchar(b.at(at + 2))), 16); // colours
        QCOMPARE(int(b.at(at + 3)), 0);
        QCOMPARE(u16(b, at + 4), quint16(1)); // planes
        QCOMPARE(u16(b, at + 6), quint16(4)); // bits per pixel
        QCOMPARE(u32(b, at + 8), quint32(e.bytes));
        QCOMPARE(u32(b, at + 12), quint32(e.offset));
        const int dib = e.offset;
        QCOMPARE(u32(b, dib), 40u);
        QCOMPARE(i32(b, dib + 4), e.size);
        QCOMPARE(i32(b, dib + 8), 2 * e.size); // colour image and mask
        QCOMPARE(u16(b, dib + 12), quint16(1));
        QCOMPARE(u16(b, dib + 14), quint16(4));
        QCOMPARE(u32(b, dib + 16), 0u); // no compression
        QCOMPARE(u32(b, dib + 20), quint32(e.xorBytes + e.maskBytes));
        QCOMPARE(palette(b, dib + 40, 16), vga16);
        QVERIFY(reservedBytesZero(b, dib + 40, 16));
        QCOMPARE(40 + 64 + e.xorBytes + e.maskBytes, e.bytes);
        const int mask = dib + 40 + 64 + e.xorBytes;
        QVERIFY2(maskedOut(b, mask, e.size, 0, 0), "corner must be transparent");
        QVERIFY2(!maskedOut(b, mask, e.size, e.size / 2, e.size / 2), "centre must be opaque");
    }
}

void TestPictures::cursorFileLayout()
{
    const QByteArray b = resource(QStringLiteral("hand.cur"));
    QCOMPARE(b.size(), 326);
    QCOMPARE(u16(b, 2), quint16(2)); // a cursor
    QCOMPARE(u16(b, 4), quint16(1));
    QCOMPARE(int(uchar(b.at(6))), 32);
    QCOMPARE(int(uchar(b.at(7))), 32);
    QCOMPARE(int(uchar(b.at(8))), 2);
    QCOMPARE(u16(b, 10), quint16(5)); // hotspot x
    QCOMPARE(u16(b, 12), quint16(0)); // hotspot y
    QCOMPARE(u32(b, 14), 304u);
    QCOMPARE(u32(b, 18), 22u);
    QCOMPARE(u32(b, 22), 40u);
    QCOMPARE(i32(b, 26), 32);
    QCOMPARE(i32(b, 30), 64);
    QCOMPARE(u16(b, 36), quint16(1)); // bits per pixel
    QCOMPARE(palette(b, 62, 2), QList<QRgb>({qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    QVERIFY(reservedBytesZero(b, 62, 2));
    // The hotspot is the fingertip: the top row holds only the tip, and the hotspot is on it.
    const int mask = 22 + 40 + 8 + 128;
    QVERIFY(!maskedOut(b, mask, 32, 5, 0));
    QList<int> tip;
    for (int x = 0; x < 32; ++x) {
        if (!maskedOut(b, mask, 32, x, 0))
            tip << x;
    }
    QVERIFY2(tip.size() <= 3 && tip.contains(4) && tip.contains(5), "fingertip at x 5");
    QVERIFY2(!maskedOut(b, mask, 32, 5, 8), "the finger goes down from the tip");
}

void TestPictures::bitmapFileLayout()
{
    const QByteArray b = resource(QStringLiteral("background.bmp"));
    QCOMPARE(b.size(), 921656);
    QCOMPARE(b.left(2), QByteArray("BM"));
    QCOMPARE(u32(b, 2), 921656u);
    QCOMPARE(u32(b, 6), 0u);
    QCOMPARE(u32(b, 10), 54u); // pixels right after the headers
    QCOMPARE(u32(b, 14), 40u);
    QCOMPARE(i32(b, 18), 640);
    QCOMPARE(i32(b, 22), 480); // positive: rows bottom-up
    QCOMPARE(u16(b, 26), quint16(1));
    QCOMPARE(u16(b, 28), quint16(24));
    QCOMPARE(u32(b, 30), 0u);
    QCOMPARE(u32(b, 34), 921602u);
}

void TestPictures::qtReadsEveryIcon_data()
{
    iconFileLayout_data();
}

void TestPictures::qtReadsEveryIcon()
{
    QFETCH(QString, name);
    QImageReader reader(QStringLiteral(":/pics/") + name);
    QCOMPARE(reader.imageCount(), 2);
    QList<QSize> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
        sizes << image.size();
    }
    QCOMPARE(sizes, QList<QSize>({QSize(32, 32), QSize(16, 16)}));
    // Loading by name, as the window does, gives the 32-pixel image.
    QCOMPARE(QPixmap(QStringLiteral(":/pics/") + name).size(), QSize(32, 32));
}

void TestPictures::qtReadsCursorAndBitmap()
{
    const QImage hand(QStringLiteral(":/pics/hand.cur"));
    QCOMPARE(hand.size(), QSize(32, 32));
    QCOMPARE(qAlpha(hand.pixel(5, 0)), 255);
    QCOMPARE(qAlpha(hand.pixel(31, 31)), 0);

    const QImage night(QStringLiteral(":/pics/background.bmp"));
    QCOMPARE(night.size(), QSize(640, 480));
    // A night scene in shades of blue: blue leads in the picture as a whole.
    qint64 red = 0, green = 0, blue = 0;
    for (int y = 0; y < night.height(); y += 4) {
        for (int x = 0; x < night.width(); x += 4) {
            const QRgb p = night.pixel(x, y);
            red += qRed(p);
            green += qGreen(p);
            blue += qBlue(p);
        }
    }
    QVERIFY(blue > green && green > red);
}

// The window reads each picture in the format its name gives, never guessing from the content
// (guessing loads every image plugin of the system to ask it).
void TestPictures::picturesAreReadInTheFormatTheirNamesGive()
{
    for (const char *name : {"window.ico", "hand.cur", "smile.ico", "background.bmp"})
        QCOMPARE(argb(QPixmap::fromImage(readPicture(QStringLiteral(":/pics/") + name))),
                 argb(QString::fromLatin1(name)));
    QCOMPARE(readIcon(QStringLiteral(":/pics/stopwatch.ico")).availableSizes(),
             QList<QSize>({QSize(32, 32), QSize(16, 16)}));

    // An icon under a bitmap's name is not a bitmap, although content sniffing would take it.
    QTemporaryDir dir;
    const QString misnamed = dir.filePath(QStringLiteral("face.bmp"));
    QVERIFY(QFile::copy(QStringLiteral(":/pics/smile.ico"), misnamed));
    QVERIFY(!QImage(misnamed).isNull());
    QVERIFY(readPicture(misnamed).isNull());
    QVERIFY(readPicture(dir.filePath(QStringLiteral("missing.bmp"))).isNull());
}

void TestPictures::windowIconAndPointer()
{
    auto &&[seams, game] = StartedGame();
    const QIcon icon = game.window()->windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QCOMPARE(argb(icon.pixmap(QSize(32, 32))), argb(QStringLiteral("window.ico")));

    // The hand is the window's pointer, with its hotspot on the fingertip; labels and images
    // show it too, while the text box and the buttons keep their usual pointers.
    const QCursor hand = game.window()->clientArea()->cursor();
    QCOMPARE(hand.shape(), Qt::BitmapCursor);
    QCOMPARE(hand.hotSpot(), QPoint(5, 0));
    QCOMPARE(argb(hand.pixmap()), argb(QStringLiteral("hand.cur")));
    for (QWidget *w :
         std::initializer_list<QWidget *>{game.Label12, game.lblScore, game.Image1, game.Image2}) {
        QCOMPARE(w->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(w->cursor().hotSpot(), QPoint(5, 0));
    }
    QCOMPARE(game.txtAnswer->cursor().shape(), Qt::IBeamCursor);
    QCOMPARE(game.cmdExit->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(game.Command1->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(game.cmdNext->cursor().hotSpot() != QPoint(5, 0)); // its own icon pointer
}

void TestPictures::buttonsShowTheirFaces()
{
    auto &&[seams, game] = StartedGame();
    const auto shown = [](CommandButton *b) {
        return argb(
            b->icon().pixmap(QSize(32, 32), b->isEnabled() ? QIcon::Normal : QIcon::Disabled));
    };
    QVERIFY(!game.cmdNext->isEnabled());
    QCOMPARE(shown(game.cmdNext), argb(QStringLiteral("laugh.ico")));
    answer(game, rightAnswer(game));
    QVERIFY(game.cmdNext->isEnabled());
    QCOMPARE(shown(game.cmdNext), argb(QStringLiteral("smile.ico")));
    QTest::mousePress(game.cmdNext, Qt::LeftButton);
    QVERIFY(game.cmdNext->isDown());
    QCOMPARE(shown(game.cmdNext), argb(QStringLiteral("neutral.ico")));
    QTest::mouseRelease(game.cmdNext, Qt::LeftButton);
    QCOMPARE(shown(game.cmdNext), argb(QStringLiteral("laugh.ico"))); // next question: disabled

    QCOMPARE(shown(game.cmdExit), argb(QStringLiteral("noentry.ico")));
    QTest::mousePress(game.cmdExit, Qt::LeftButton);
    QCOMPARE(shown(game.cmdExit), argb(QStringLiteral("noentry.ico")));
    seams.dialogs.answer(vbNo); // "stay"
    QTest::mouseRelease(game.cmdExit, Qt::LeftButton);
    QCOMPARE(shown(game.cmdExit), argb(QStringLiteral("noentry.ico")));
}

void TestPictures::stopwatchAtNaturalSize()
{
    auto &&[seams, game] = StartedGame();
    QCOMPARE(game.Image1->size(), QSize(32, 32));
    QCOMPARE(game.Image1->picture().size(), QSize(32, 32));
    QImage drawn(game.Image1->size(), QImage::Format_ARGB32);
    drawn.fill(Qt::transparent);
    game.Image1->render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
    QCOMPARE(drawn, argb(QStringLiteral("stopwatch.ico")));
}

void TestPictures::backgroundStaysWhileTheFrameChangesColour()
{
    auto &&[seams, game] = StartedGame();
    QCOMPARE(game.Image2->geometry(), QRect(8, 8, 671, 544));
    QWidget *client = game.window()->clientArea();
    // The frame's corners, and two spots of the picture that no control covers.
    const QList<QPoint> spots = {QPoint(600, 200), QPoint(400, 535)};
    const auto pictureAt = [&spots](const QImage &shot) {
        QList<QRgb> colours;
        for (const QPoint &p : spots)
            colours << shot.pixel(p);
        return colours;
    };
    const QList<QRgb> picture = pictureAt(client->grab().toImage());
    for (int round = 0; round < 3; ++round) {
        const Long before = game.BackColor();
        for (int i = 0; i < 50 && game.BackColor() == before; ++i)
            game.cmdNext_Click();
        QVERIFY(game.BackColor() != before);
        QCOMPARE(game.Image2->geometry(), QRect(8, 8, 671, 544));
        const QImage shot = client->grab().toImage();
        const QColor frame = toQColor(game.BackColor());
        QCOMPARE(QColor(shot.pixel(3, 3)), frame);
        QCOMPARE(QColor(shot.pixel(684, 556)), frame);
        QCOMPARE(pictureAt(shot), picture);
    }
    QVERIFY(QColor(picture.at(0)) != toQColor(game.BackColor()));
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
