// SPDX-License-Identifier: GPL-3.0-or-later
// CPU cost of the game's single operations, in process and headless: one scored answer (Enter in
// the answer box until every label is updated) and one drawn question, painting left out; and,
// to see what the clock costs while a child thinks, one tick with the repaint it asks for.
#include "game/tavola.h"
#include "platform/program.h"
#include "records/recordfiles.h"
#include "support/doubles.h"
#include "widgets/appstyle.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// The game started as a child starts it, with boxes answered by script and the record files in
// a directory of its own.
class BenchGame {
public:
    BenchGame()
    {
        game::Services services = game::realServices();
        services.boxes = &dialogs_;
        services.end = [](int code) { throw platform::ProgramEnded{code}; };
        services.recordDirectory = records::windowsDirectoryReturning(dir_.path().toUtf8());
        dialogs_.type(QStringLiteral("Bench"));
        dialogs_.answer(platform::vbOK);
        game_ = std::make_unique<Tavola>(services);
        game_->Show();
        // The clock ticks only when a benchmark says so.
        game_->Timer1->setEnabled(false);
        QCoreApplication::processEvents();
    }
    ~BenchGame() { game_.reset(); }
    BenchGame(const BenchGame &) = delete;
    BenchGame &operator=(const BenchGame &) = delete;

    Tavola &game() { return *game_; }
    bool started() const { return game_->isLoaded() && dialogs_.pendingAnswers() == 0; }

private:
    QTemporaryDir dir_;
    platform::ScriptedDialogs dialogs_;
    std::unique_ptr<Tavola> game_;
};

void pressEnter(QWidget *target)
{
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(target, &enter);
}

void scoredAnswer(benchmark::State &state, bool right)
{
    BenchGame bench;
    Tavola &game = bench.game();
    const int scoredBefore = game.drill().correct() + game.drill().wrong();
    for (auto _ : state) {
        state.PauseTiming();
        // An answer counts once: every round answers a question of its own.
        if (game.drill().answered())
            game.cmdNext_Click();
        const int expected = game.drill().expectedAnswer();
        game.txtAnswer->setText(QString::number(right ? expected : expected + 1));
        QCoreApplication::processEvents();
        state.ResumeTiming();
        pressEnter(game.txtAnswer);
    }
    const auto expected = std::min<std::int64_t>(scoredBefore + state.iterations(), 32767);
    if (game.drill().correct() + game.drill().wrong() != expected)
        state.SkipWithError("Enter did not score the answer");
}

void BM_ScoredAnswerRight(benchmark::State &state)
{
    scoredAnswer(state, true);
}
BENCHMARK(BM_ScoredAnswerRight);

void BM_ScoredAnswerWrong(benchmark::State &state)
{
    scoredAnswer(state, false);
}
BENCHMARK(BM_ScoredAnswerWrong);

void BM_DrawnQuestion(benchmark::State &state)
{
    BenchGame bench;
    Tavola &game = bench.game();
    int drawn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        game.cmdNext->setEnabled(true);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        game.cmdNext->click();
        // The question's handler is the one that disables the button again.
        drawn += game.cmdNext->isEnabled() ? 0 : 1;
    }
    if (drawn != state.iterations() || !bench.started())
        state.SkipWithError("the button did not draw a question");
}
BENCHMARK(BM_DrawnQuestion);

// Adds up the area of the background that paints cover.
class PaintProbe : public QObject {
public:
    explicit PaintProbe(QWidget *watched) { watched->installEventFilter(this); }
    qint64 pixels = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
                pixels += qint64(r.width()) * r.height();
        }
        return false;
    }
};

// The paint counts measure the game's own background; without it they would measure nothing.
bool backgroundMissing(benchmark::State &state, Tavola &game)
{
    if (!game.Image2->picture().isNull())
        return false;
    state.SkipWithError("the game has no background picture");
    return true;
}

// Times one step and the painting it causes, and counts the background's pixels painted per
// step.
template <typename Step> void timePainted(benchmark::State &state, Step step)
{
    BenchGame bench;
    Tavola &game = bench.game();
    if (backgroundMissing(state, game))
        return;
    QCoreApplication::processEvents();
    PaintProbe probe(game.Image2);
    for (auto _ : state) {
        step(game);
        QCoreApplication::processEvents();
    }
    state.counters["bg_px"] = benchmark::Counter(double(probe.pixels) / double(state.iterations()));
}

void BM_ClockTickPainted(benchmark::State &state)
{
    timePainted(state, [](Tavola &game) { game.Timer1_Timer(); });
}
// One game's clock: the tick after its last second would end the game.
BENCHMARK(BM_ClockTickPainted)->Iterations(game::gameSeconds);

void BM_WholeWindowRepaint(benchmark::State &state)
{
    timePainted(state, [](Tavola &game) { game.window()->clientArea()->update(); });
}
BENCHMARK(BM_WholeWindowRepaint);

} // namespace

int main(int argc, char *argv[])
{
    benchmark::Initialize(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(platform::applicationStyle());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
