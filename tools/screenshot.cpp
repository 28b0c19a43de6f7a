// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the game window offscreen in a chosen state and saves it as a PNG, for the README.
//   screenshot fresh out.png [B E]      a new game, first question (B to the E when given)
//   screenshot wrong-long-name out.png  a long player name, the largest question answered wrongly
//   screenshot menu-open out.png        a new game with the INFORMAZIONI menu open
#include "game/tavola.h"
#include "records/recordfiles.h"
#include "support/doubles.h"
#include "widgets/appstyle.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

namespace {

void waitUntil(const std::function<bool()> &done, int timeoutMs = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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

// The record as the game saves it: one line each, CR LF at the end.
void writeRecord(const QString &dir)
{
    const std::pair<QString, QByteArray> files[] = {{records::scoreFileName, "12\r\n"},
                                                    {records::nameFileName, "Giulia\r\n"}};
    for (const auto &[name, bytes] : files) {
        QFile f(dir + u'/' + name);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
}

void press(QWidget *target, Qt::Key key, const QString &text)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &up);
}

void typeAnswer(Tavola &game, const QString &digits)
{
    for (QChar c : digits)
        press(game.txtAnswer, Qt::Key(Qt::Key_0 + c.digitValue()), QString(c));
    press(game.txtAnswer, Qt::Key_Return, QStringLiteral("\r"));
}

// Draws questions until base to the exponent is asked.
void askQuestion(Tavola &game, int base, int exponent)
{
    for (int i = 0;
         i < 5000 && (game.drill().base() != base || game.drill().exponent() != exponent); ++i)
        game.cmdNext_Click();
}

// The question given as "B E" (the one a game in a browser was asked), or {0, 0}, which no game
// asks, for the first one drawn.
bool prepare(Tavola &game, platform::ScriptedDialogs &dialogs, const QString &state,
             std::pair<int, int> question)
{
    if (state == u"fresh" || state == u"menu-open") {
        dialogs.type(QStringLiteral("Anna"));
        dialogs.answer(platform::vbOK);
        game.Show();
        if (question != std::pair{0, 0})
            askQuestion(game, question.first, question.second);
        return true;
    }
    if (state == u"wrong-long-name") {
        dialogs.type(QStringLiteral("Massimiliano Bartolomeo"));
        dialogs.answer(platform::vbOK);
        game.Show();
        askQuestion(game, game::baseMax, game::exponentMax);
        typeAnswer(game, QStringLiteral("99"));
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorandi"));
    QApplication::setStyle(platform::applicationStyle());
    if (argc != 3 && !(argc == 5 && qstrcmp(argv[1], "fresh") == 0)) {
        std::fputs("usage: screenshot fresh|wrong-long-name|menu-open OUT.png\n"
                   "       screenshot fresh OUT.png BASE EXPONENT\n",
                   stderr);
        return 2;
    }
    const std::pair<int, int> question =
        argc == 5 ? std::pair{std::atoi(argv[3]), std::atoi(argv[4])} : std::pair{0, 0};
    QTemporaryDir dir;
    writeRecord(dir.path());
    platform::ScriptedDialogs dialogs;
    game::Services services = game::realServices();
    services.boxes = &dialogs;
    services.recordDirectory = records::windowsDirectoryReturning(QFile::encodeName(dir.path()));
    std::uint64_t seed = 1;
    services.random = std::make_shared<platform::Random>([seed]() mutable { return seed++; });

    Tavola game(services);
    if (!prepare(game, dialogs, QString::fromLocal8Bit(argv[1]), question)) {
        std::fprintf(stderr, "screenshot: unknown state '%s'\n", argv[1]);
        return 2;
    }
    platform::FormWindow *window = game.window();
    waitUntil([window] { return window->isVisible(); });
    QCoreApplication::processEvents();
    QImage shot = window->grab().toImage();
    if (qstrcmp(argv[1], "menu-open") == 0) {
        QMenu *menu = game.INFOMAZIONI->menu();
        window->menuBar()->setActiveAction(game.INFOMAZIONI);
        waitUntil([menu] { return menu->isVisible(); });
        QCoreApplication::processEvents();
        shot = windowWithMenu(window, menu);
        menu->close();
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (!shot.save(out, "PNG")) {
        std::fprintf(stderr, "screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
