// SPDX-License-Identifier: GPL-3.0-or-later
// A game in a process of its own, ended from outside by the fault tests: game_in_a_process DIR.
// It starts a game whose record lives in DIR, makes four right answers, prints "ready" and plays
// on until it is ended. Boxes are scripted; the ways out are installed as the program does.
#include "game/tavola.h"
#include "platform/dialogs.h"
#include "platform/ending.h"
#include "records/recordfiles.h"

#include <QApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 64;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorandi"));
    platform::ScriptedDialogs dialogs;
    platform::setDialogService(&dialogs);
    game::Services services;
    services.boxes = &dialogs;
    services.recordDirectory = records::windowsDirectoryReturning(argv[1]);
    dialogs.type(QStringLiteral("Anna"));
    dialogs.answer(platform::vbOK);
    Tavola game(services);
    platform::runBeforeEveryWayOut([&game] { game.SilentRecordCheck(); });
    game.Show();
    for (int i = 0; i < 4; ++i) {
        game.txtAnswer->setText(QString::number(game.drill().expectedAnswer()));
        platform::Integer enter = 13;
        game.txtAnswer_KeyPress(enter);
        game.cmdNext_Click();
    }
    std::puts("ready");
    std::fflush(stdout);
    return QApplication::exec();
}
