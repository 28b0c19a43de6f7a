// Vorandi: a drill on powers for schoolchildren.
#include "game/tavola.h"
#include "platform/appstyle.h"
#include "platform/display.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (!platform::displayAvailable()) {
        std::fputs("Vorandi needs a graphical display: run it from a desktop session, or try "
                   "'xvfb-run -a make run'.\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorandi"));
    // Ties the window to its desktop entry, whose icon Wayland desktops show for it.
    QGuiApplication::setDesktopFileName(QStringLiteral("vorandi"));
    QApplication::setStyle(platform::applicationStyle());
    Tavola tavola;
    tavola.Show();
    return QApplication::exec();
}
