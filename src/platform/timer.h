// SPDX-License-Identifier: GPL-3.0-or-later
// The window toolkit's clock control: no widget, a tick at every interval.
#pragma once

#include <QObject>
#include <QTimer>

namespace platform {

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

signals:
    void Tick();

private:
    QTimer timer_;
    bool enabled_ = false;
};

} // namespace platform
