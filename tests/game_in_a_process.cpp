// SPDX-License-Identifier: GPL-3.0-or-later
// A game in a process of its own, ended from outside by the fault tests:
// game_in_a_process DIR [--leave]. It starts a game whose record lives in DIR, makes four right
// answers, prints "ready" and plays on until it is ended; with --leave the player then leaves
// (Alt+X, Sì) once a line comes on the standard input, and "waiting" is printed when the save has
// to wait for the record's lock. Boxes are
// scripted; the ways out are installed as the program does.
#include "game/tavola.h"
#include "platform/ending.h"
#include "records/recordfiles.h"
#include "support/doubles.h"
#include "widgets/dialogs.h"
#include "widgets/waitbox.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// The real wait box, saying on the standard output when it starts.
class AnnouncedWait : public platform::QtWait {
public:
    bool waitFor(const QString &message, const std::function<bool()> &ready,
                 std::chrono::milliseconds limit) override
    {
        std::puts("waiting");
        std::fflush(stdout);
        return QtWait::waitFor(message, ready, limit);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 64;
    const bool leave = argc > 2 && std::strcmp(argv[2], "--leave") == 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorandi"));
    platform::ScriptedDialogs dialogs;
    AnnouncedWait wait;
    // The real system calls, clock and End, as the program has them; boxes answered by script.
    game::Services services = game::realServices();
    services.boxes = &dialogs;
    services.wait = &wait;
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
    QSocketNotifier go(STDIN_FILENO, QSocketNotifier::Read);
    go.setEnabled(leave);
    QObject::connect(&go, &QSocketNotifier::activated, &game, [&] {
        go.setEnabled(false);
        dialogs.answer(platform::vbYes);
        game.runEvent([&game] { game.cmdExit_Click(); });
    });
    return QApplication::exec();
}
