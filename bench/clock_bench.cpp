// SPDX-License-Identifier: GPL-3.0-or-later
// How long the game's clock takes for a number of ticks of one second: the real platform Timer,
// counted in process against a monotonic clock.
//
//   vorandi-clock-bench [--ticks N] [--runs R]
//
// Prints one line a run: "run I ELAPSED_MS SHORTEST_TICK_MS LONGEST_TICK_MS".
#include "widgets/controls.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct Run {
    double elapsedMs = 0;
    double shortestMs = 1e9;
    double longestMs = 0;
};

Run countTicks(int ticks)
{
    platform::Timer timer;
    QElapsedTimer clock;
    Run run;
    int count = 0;
    qint64 previous = 0;
    QObject::connect(&timer, &platform::Timer::Tick, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double interval = double(now - previous) / 1e6;
        run.shortestMs = std::min(run.shortestMs, interval);
        run.longestMs = std::max(run.longestMs, interval);
        previous = now;
        if (++count == ticks) {
            run.elapsedMs = double(now) / 1e6;
            timer.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    timer.setInterval(1000);
    clock.start();
    timer.setEnabled(true);
    QCoreApplication::exec();
    return run;
}

int argument(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    }
    return fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int ticks = argument(argc, argv, "--ticks", 60);
    const int runs = argument(argc, argv, "--runs", 1);
    for (int i = 1; i <= runs; ++i) {
        const Run run = countTicks(ticks);
        std::printf("run %d %.3f %.3f %.3f\n", i, run.elapsedMs, run.shortestMs, run.longestMs);
        std::fflush(stdout);
    }
    return 0;
}
