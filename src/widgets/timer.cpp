// SPDX-License-Identifier: GPL-3.0-or-later
#include "timer.h"
#include "dialogs.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

std::vector<std::function<void()>> &wokeUpObservers()
{
    static std::vector<std::function<void()>> observers;
    return observers;
}

} // namespace

void onTimerWokeUp(std::function<void()> observer)
{
    wokeUpObservers().push_back(std::move(observer));
}

int IntervalCount::due(qint64 now, int interval)
{
    if (interval <= 0)
        return 0;
    const qint64 intervals = std::max<qint64>(0, now - counted_ + interval / 10) / interval;
    counted_ += intervals * interval;
    return int(std::min<qint64>(intervals, 1 << 20));
}

Timer::Timer(QObject *parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::wokeUp);
}

void Timer::setEnabled(bool on)
{
    enabled_ = on;
    if (on && timer_.interval() > 0) {
        timer_.start();
        clock_.start();
        count_.start(0);
    } else {
        timer_.stop();
    }
}

void Timer::wokeUp()
{
    if (!followsRealTime_) {
        fire();
    } else if (ModalGate::instance().depth() > 0) {
        count_.skip(clock_.elapsed()); // the clock stands while a box is open
    } else {
        // A tick can open a box or stop this timer: what follows waits for it, or stops.
        for (int n = count_.due(clock_.elapsed(), timer_.interval()); n > 0 && enabled_; --n)
            fire();
    }
    for (const auto &observer : wokeUpObservers())
        observer();
}

void Timer::setInterval(int milliseconds)
{
    timer_.setInterval(milliseconds);
    setEnabled(enabled_);
}

void Timer::fire()
{
    if (ModalGate::instance().depth() > 0)
        return;
    emit Tick();
}

} // namespace platform
