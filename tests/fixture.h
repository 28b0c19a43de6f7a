// SPDX-License-Identifier: GPL-3.0-or-later
// Shared test seams: scripted boxes, a catchable End, a private record directory, fixed seeds.
#pragma once

#include "game/tavola.h"
#include "platform/program.h"
#include "records/recordfiles.h"
#include "support/doubles.h"
#include "support/probes.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

// A game's world made of doubles: scripted boxes and waits, the system calls a test may fail, a
// private record directory.
class GameSeams {
public:
    explicit GameSeams(const QString &recordDir = QString())
    {
        dir_ = recordDir.isEmpty() ? temp_.path() : recordDir;
    }
    GameSeams(const GameSeams &) = delete;
    GameSeams &operator=(const GameSeams &) = delete;

    // A game's world: these boxes, waits and calls, an End the test catches, this record
    // directory, this date, questions from fixed seeds.
    game::Services services()
    {
        game::Services s;
        s.boxes = &dialogs;
        s.wait = &wait;
        s.systemCalls = &calls;
        s.end = throwEnd;
        s.recordDirectory = records::windowsDirectoryReturning(dir_.toUtf8());
        s.today = [this] { return today; };
        std::uint64_t seed = 1;
        s.random = std::make_shared<platform::Random>([seed]() mutable { return seed++; });
        return s;
    }

    QString dir() const { return dir_; }
    QString path(const QString &name) const { return dir_ + u'/' + name; }

    QByteArray bytes(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QString &name, const QByteArray &content) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    // Starts a game: answers the name prompt and the greeting, shows the window.
    void start(Tavola &game, const QString &name = QStringLiteral("Anna"))
    {
        dialogs.type(name);
        dialogs.answer(platform::vbOK);
        game.Show();
        QVERIFY(game.isLoaded());
        QVERIFY(QTest::qWaitForWindowExposed(game.window()));
    }

    // What the record functions take when a test calls them directly.
    records::RecordServices recordServices() { return {&dialogs, &wait, &calls, true}; }

    platform::ScriptedDialogs dialogs;
    platform::ScriptedWait wait;
    // The clock's date the game reads, never the day the test runs.
    QDate today{2031, 12, 25};
    // The real calls until a test replaces one.
    records::SystemCalls calls;

private:
    static void throwEnd(int code) { throw platform::ProgramEnded{code}; }

    QTemporaryDir temp_;
    QString dir_;
};

// A game on screen in a world of its own, its player named: where most tests begin, as
// `auto &&[seams, game] = StartedGame();`.
struct StartedGame {
    explicit StartedGame(const QString &name = QStringLiteral("Anna")) { seams.start(game, name); }
    GameSeams seams;
    Tavola game{seams.services()};
};

// Types the text into the answer box, key by key, then presses Enter.
inline void answer(Tavola &game, const QString &text)
{
    game.txtAnswer->setFocus();
    QTest::keyClicks(game.txtAnswer, text);
    QTest::keyClick(game.txtAnswer, Qt::Key_Return);
}

// Leaves through the exit button's handler, as its click runs it, and answers Yes; the end code,
// or -1. Throwing the test's End through Qt's own frames would leak what they hold, which the
// sanitizer run reports.
inline int leaveByExit(GameSeams &seams, Tavola &game)
{
    seams.dialogs.answer(platform::vbYes);
    try {
        game.runEvent([&game] { game.cmdExit_Click(); });
    } catch (const platform::ProgramEnded &end) {
        return end.code;
    }
    return -1;
}

// The correct answer as text.
inline QString rightAnswer(const Tavola &game)
{
    return QString::number(game.drill().expectedAnswer());
}

// Answers right `count` times, each followed by Enter on the next-question button.
inline void answerRight(Tavola &game, int count)
{
    for (int i = 0; i < count; ++i) {
        answer(game, rightAnswer(game));
        QTest::keyClick(game.cmdNext, Qt::Key_Return);
    }
}
