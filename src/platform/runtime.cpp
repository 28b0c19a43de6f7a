// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime.h"

#include <QByteArray>
#include <QLocale>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

namespace platform {

RuntimeError::RuntimeError(int number, const QString &message)
    : std::runtime_error(message.toStdString()), number_(number), message_(message)
{}

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Collects sign, digits and one decimal point from position i onwards, as ASCII.
std::string leadingNumber(const QString &text, qsizetype i)
{
    std::string number;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
    }
    bool point = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            number += char(c.unicode());
        } else if (c == u'.' && !point) {
            point = true;
            number += '.';
        } else {
            break;
        }
    }
    return number;
}

// Qt's conversion reports both too large and too small a number as a failure. A text such as
// "0.000...01" is a tiny number, not an infinite one: only a non-zero whole part overflows.
Double outOfRange(const char *first, const char *last)
{
    for (const char *p = first; p != last && *p != '.'; ++p) {
        if (*p != '0')
            return std::numeric_limits<Double>::infinity();
    }
    return 0.0;
}

// Parses what leadingNumber collected; false when it holds no digit. Qt's conversion rather than
// the standard library's: it reads the same text with every compiler's library, and never by the
// locale's decimal sign.
bool parseNumber(const std::string &number, Double &value)
{
    const bool negative = !number.empty() && number.front() == '-';
    const char *first = number.data() + (negative ? 1 : 0);
    const char *last = number.data() + number.size();
    if (std::find_if(first, last, [](char c) { return c >= '0' && c <= '9'; }) == last)
        return false;
    const QByteArray digits = QByteArray::fromRawData(first, qsizetype(last - first));
    bool ok = false;
    Double magnitude = digits.toDouble(&ok);
    if (!ok)
        magnitude = outOfRange(first, last);
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace

Double Val(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    Double value = 0;
    return parseNumber(leadingNumber(text, i), value) ? value : 0.0;
}

bool fitsInteger(Double value)
{
    if (std::isnan(value))
        return false;
    const Double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    return rounded >= IntegerMin && rounded <= IntegerMax;
}

Integer CInt(Double value)
{
    if (!fitsInteger(value))
        throw RuntimeError(errOverflow, QStringLiteral("Overflow"));
    return static_cast<Integer>(std::nearbyint(value));
}

Double Int(Double value)
{
    return std::floor(value);
}

QString Format(Double value, const QString &pattern)
{
    const bool whole = std::isfinite(value) && value == std::floor(value);
    if (pattern.isEmpty() && !whole)
        return QString::number(value, 'g', 15);
    const Double rounded = std::round(value); // Format rounds halves away from zero
    const int minDigits = int(pattern.count(u'0'));
    QString digits = QString::number(std::fabs(rounded), 'f', 0);
    if (digits.size() < minDigits)
        digits = QString(minDigits - digits.size(), u'0') + digits;
    return rounded < 0 ? u'-' + digits : digits;
}

Long RGB(int red, int green, int blue)
{
    auto clamp = [](int c) { return c < 0 ? 0 : (c > 255 ? 255 : c); };
    return clamp(red) + 256 * clamp(green) + 65536 * clamp(blue);
}

Random::Random(SeedSource seeds) : seeds_(std::move(seeds)) {}

void Random::Randomize()
{
    const std::uint64_t seed =
        seeds_
            ? seeds_()
            : std::uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    engine_.seed(seed);
}

Single Random::Rnd()
{
    // 24 random bits scaled exactly into [0, 1): a float never rounds up to 1.
    const auto bits = std::uint32_t(engine_() >> 40);
    return Single(bits) * (1.0f / 16777216.0f);
}

QDate Date()
{
    return QDate::currentDate();
}

QString dateText(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

} // namespace platform
