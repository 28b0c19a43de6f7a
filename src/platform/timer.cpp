// SPDX-License-Identifier: GPL-3.0-or-later
#include "timer.h"
#include "dialogs.h"

namespace platform {

Timer::Timer(QObject *parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::fire);
}

void Timer::setEnabled(bool on)
{
    enabled_ = on;
    if (on && timer_.interval() > 0)
        timer_.start();
    else
        timer_.stop();
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
