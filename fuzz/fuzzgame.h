// SPDX-License-Identifier: GPL-3.0-or-later
// A headless application and a game window for the fuzz targets, with the test seams in place.
#pragma once

#include "fixture.h"
#include "fuzzcheck.h"
#include "platform/files.h"
#include "rules/texts.h"
#include "support/probes.h"
#include "ui/tavola_design.h"

#include <QApplication>

#include <memory>

namespace fuzzgame {

// Qt's chatter (the offscreen platform cannot raise windows) would bury libFuzzer's report.
inline void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// One application for the whole run; QApplication must not see libFuzzer's own flags.
inline void startApplication()
{
    qInstallMessageHandler(quietMessages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "vorandi-fuzz";
    static char *argv[] = {name, nullptr};
    // Never destroyed: at exit Qt's own globals go first, and a QApplication after them crashes.
    static auto *app = new QApplication(argc, argv);
    Q_UNUSED(app);
}

// Deletes what an unloaded window left for the event loop, as the loop would.
inline void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Starts a game with the given player's name; false when the start ended the program.
inline bool start(GameSeams &seams, Tavola &game, const QString &name)
{
    seams.dialogs.type(name);
    seams.dialogs.answer(platform::vbOK);
    try {
        game.Show();
    } catch (const platform::ProgramEnded &) {
        return false;
    }
    FUZZ_CHECK(game.isLoaded());
    return true;
}

// What must hold between any two events of a running game.
inline void checkSteady(const Tavola &game)
{
    FUZZ_CHECK_EQ(platform::ModalGate::instance().depth(), 0);
    FUZZ_CHECK_EQ(platform::openFileCount(), 0);
    if (!game.isLoaded())
        return;
    FUZZ_CHECK(game.drill().correct() >= 0 && game.drill().wrong() >= 0);
    FUZZ_CHECK_EQ(game.lblScore->Caption(), QString::number(game.drill().correct()));
    const int total = std::min(int(game.drill().correct()) + game.drill().wrong(), 32767);
    FUZZ_CHECK_EQ(game.lblScore2->Caption(), QString::number(total));
    FUZZ_CHECK(game.txtAnswer->text().size() <= ui::answerLength);
    const QString verdict = game.lblMessage->Caption();
    FUZZ_CHECK(verdict.isEmpty() || verdict == game::text::right ||
               verdict == game::text::wrong.arg(game.drill().expectedAnswer()));
    FUZZ_CHECK(game.drill().base() >= game::baseMin && game.drill().base() <= game::baseMax &&
               game.drill().exponent() >= game::exponentMin &&
               game.drill().exponent() <= game::exponentMax);
}

} // namespace fuzzgame
