// SPDX-License-Identifier: GPL-3.0-or-later
#include "drill.h"

#include <algorithm>
#include <cmath>

namespace game {

using namespace platform;

namespace {

// Counters stop at the top of the Integer range instead of overflowing.
Integer saturatedSum(int a, int b)
{
    return Integer(std::min(a + b, int(IntegerMax)));
}

// A whole number from lowest to highest, each equally likely, from one draw of Rnd.
Integer drawBetween(RandomSource &random, int lowest, int highest)
{
    return Integer(Int(random.Rnd() * (highest - lowest + 1)) + lowest);
}

} // namespace

void Drill::resetCounts()
{
    correct_ = 0;
    wrong_ = 0;
}

void Drill::startClock()
{
    secondsLeft_ = gameSeconds;
    running_ = true;
}

void Drill::drawQuestion()
{
    random_.Randomize();
    base_ = drawBetween(random_, baseMin, baseMax);
    exponent_ = drawBetween(random_, exponentMin, exponentMax);
    expected_ = CInt(std::pow(double(base_), double(exponent_)));
    answered_ = false;
}

bool Drill::score(const QString &typed)
{
    const Double value = Val(typed);
    const bool right = fitsInteger(value) && CInt(value) == expected_;
    if (right)
        correct_ = saturatedSum(correct_, 1);
    else
        wrong_ = saturatedSum(wrong_, 1);
    answered_ = true;
    return right;
}

Integer Drill::total() const
{
    return saturatedSum(correct_, wrong_);
}

void Drill::setRecord(const QString &recordText)
{
    record_ = Val(recordText);
}

bool Drill::recordJustPassed() const
{
    return record_ + 1 == Double(correct_);
}

void Drill::tick()
{
    if (secondsLeft_ > 0)
        --secondsLeft_;
}

QString clockText(int seconds)
{
    const QString pattern = QStringLiteral("00");
    return Format(seconds / 3600, pattern) + u':' + Format(seconds / 60 % 60, pattern) + u':' +
           Format(seconds % 60, pattern);
}

namespace {

QString counted(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

// A speech synthesizer reads "00:13:16" as three numbers; words say what they count.
QString clockInWords(int seconds)
{
    const int minutes = seconds / 60;
    QStringList parts;
    if (minutes > 0)
        parts << counted(minutes, "minuto", "minuti");
    if (seconds % 60 > 0 || minutes == 0)
        parts << counted(seconds % 60, "secondo", "secondi");
    return parts.join(QStringLiteral(" e "));
}

} // namespace game
