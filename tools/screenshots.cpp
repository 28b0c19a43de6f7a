// Pictures of the game window for docs/: a fresh game, and the INFORMAZIONI menu open.
#include "game/tavola.h"
#include "platform/dialogs.h"
#include "platform/runtime.h"
#include "records/recordfiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

void waitUntil(const std::function<bool()> &done, int timeoutMs = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A record on file makes the record line at the bottom show a name and a score.
bool writeRecord(const QString &dir)
{
    const auto write = [&dir](const char *name, const QByteArray &line) {
        QFile f(dir + u'/' + QString::fromLatin1(name));
        return f.open(QIODevice::WriteOnly) && f.write(line) == line.size();
    };
    return write("vora.txt", "12\r\n") && write("nvora.txt", "Giulia\r\n");
}

void useRecordDirectory(const QString &dir)
{
    const QByteArray local = QFile::encodeName(dir);
    records::setWindowsDirectoryCall([local](char *buffer, std::uint32_t size) {
        if (std::uint32_t(local.size()) + 1 > size)
            return std::uint32_t(local.size() + 1);
        std::memcpy(buffer, local.constData(), size_t(local.size()) + 1);
        return std::uint32_t(local.size());
    });
}

// The window with its open menu drawn where the menu stands on the screen.
QImage windowWithMenu(QWidget *window, QMenu *menu)
{
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    const QRect menuRect(menu->mapToGlobal(QPoint(0, 0)) - origin, menu->size());
    const QRect all = QRect(QPoint(0, 0), window->size()).united(menuRect);
    QImage image(all.size(), QImage::Format_RGB32);
    image.fill(QColor(64, 64, 64));
    QPainter p(&image);
    p.drawPixmap(-all.topLeft(), window->grab());
    p.drawPixmap(menuRect.topLeft() - all.topLeft(), menu->grab());
    return image;
}

bool save(const QImage &image, const QString &path)
{
    if (image.save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

// Usage: QT_QPA_PLATFORM=offscreen vorandi_screenshots <directory>
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorandi"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(out);

    QTemporaryDir recordDir;
    if (!recordDir.isValid() || !writeRecord(recordDir.path()))
        return 1;
    useRecordDirectory(recordDir.path());
    platform::setSeedSource([] { return std::uint64_t(7); });
    platform::ScriptedDialogs dialogs;
    platform::setDialogService(&dialogs);
    dialogs.type(QStringLiteral("Anna"));
    dialogs.answer(platform::vbOK);

    Tavola game;
    game.Show();
    QWidget *window = game.window();
    waitUntil([window] { return window->isVisible(); });
    QCoreApplication::processEvents();
    if (!save(window->grab().toImage(), out + QStringLiteral("/window-pictures.png")))
        return 1;

    QMenu *menu = game.INFOMAZIONI->menu();
    game.window()->menuBar()->setActiveAction(game.INFOMAZIONI);
    waitUntil([menu] { return menu->isVisible(); });
    QCoreApplication::processEvents();
    const bool saved = save(windowWithMenu(window, menu), out + QStringLiteral("/menu-open.png"));
    menu->close();
    platform::setDialogService(nullptr);
    return saved ? 0 : 1;
}
