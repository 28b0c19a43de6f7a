// SPDX-License-Identifier: GPL-3.0-or-later
// The window toolkit's clock control: no widget, a tick at every interval.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace platform {

// How many whole intervals have passed since the clock started, as against how many were counted:
// where the system may slow down or freeze a program's timers (a hidden or frozen browser tab), a
// late wake-up counts every interval that passed. Times in milliseconds of a monotonic clock.
class IntervalCount {
public:
    void start(qint64 now) { counted_ = now; }
    // The intervals due at now, now counted; a wake-up a little early (within a tenth of an
    // interval) counts its interval.
    int due(qint64 now, int interval);
    // Time not to count (while a box is open): the next interval starts now.
    void skip(qint64 now) { counted_ = now; }

private:
    qint64 counted_ = 0;
};

// A browser runs its timers late or not at all while the tab is hidden or frozen: there the
// clock follows the real time that passed.
#ifdef __EMSCRIPTEN__
inline constexpr bool timersMayStall = true;
#else
inline constexpr bool timersMayStall = false;
#endif

// Ticks every Interval milliseconds while enabled, the first one interval after enabling.
// Ticks that fall while one of the program's boxes is open are dropped: the clock goes on with
// the next tick after the box closes.
class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject *parent = nullptr);

    bool Enabled() const { return enabled_; }
    void setEnabled(bool on);
    int Interval() const { return timer_.interval(); }
    void setInterval(int milliseconds);
    bool isRunning() const { return timer_.isActive(); }
    // What the end of an interval does: a Tick, unless one of the program's boxes is open.
    void fire();
    // Ticks for every interval that really passed, not only for the timer's wake-up.
    void setFollowsRealTime(bool on) { followsRealTime_ = on; }

signals:
    void Tick();

private:
    void wokeUp();

    QTimer timer_;
    bool enabled_ = false;
    bool followsRealTime_ = timersMayStall;
    QElapsedTimer clock_;
    IntervalCount count_;
};

// Told after the ticks of every timer's wake-up: the page keeps its hidden tab's title and its
// screen reader's readings with them.
void onTimerWokeUp(std::function<void()> observer);

} // namespace platform
