// SPDX-License-Identifier: GPL-3.0-or-later
// Vorandi: a drill on powers for schoolchildren.
#include "game/commandline.h"
#include "game/tavola.h"
#include "platform/ending.h"
#include "widgets/appstyle.h"
#include "widgets/display.h"

#include <QApplication>

#include <cstdio>

namespace {

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    // Help and version need no display, so they are answered before the application exists.
    const game::CommandLineOutcome command = game::readCommandLine(argumentList(argc, argv));
    if (!command.play) {
        platform::useStartingTerminal();
        std::fputs(command.output.toLocal8Bit().constData(), stdout);
        std::fputs(command.error.toLocal8Bit().constData(), stderr);
        return command.status;
    }
    if (!platform::displayAvailable()) {
        std::fputs(
            "vorandi: serve uno schermo grafico; avviare il gioco da una sessione desktop.\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorandi"));
    QApplication::setApplicationVersion(QStringLiteral(VORANDI_VERSION));
    // Ties the window to its desktop entry, whose icon Wayland desktops show for it.
    QGuiApplication::setDesktopFileName(QStringLiteral(VORANDI_APP_ID));
    QApplication::setStyle(platform::applicationStyle());
    // The game ends by its own rules (Exit, the window's close, the clock). Between two games no
    // window is shown while the next name is asked, and that box closing must not end the program:
    // on a page, where a closed box's loop returns only later, it stopped every later box.
    QApplication::setQuitOnLastWindowClosed(false);
    // The real world: the system's boxes, wait, calls, record directory and clock.
    Tavola tavola(game::realServices());
    // A signal, the logout or a display gone still saves a beaten record.
    platform::runBeforeEveryWayOut([&tavola] { tavola.SilentRecordCheck(); });
    if (command.numberPad)
        tavola.showNumberPad();
    if (command.fullScreen)
        tavola.setFullScreen(true);
    tavola.Show();
    // Objects the start's boxes left for deletion go now: where the application's event loop
    // never returns to this level (a browser page), they would otherwise stay pending and keep
    // every later box's loop from waiting.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return QApplication::exec();
}
