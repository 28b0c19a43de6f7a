// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time services the game logic calls: number conversions, formatting, colours, random numbers.
#pragma once

#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>

namespace platform {

using Integer = std::int16_t;
using Long = std::int32_t;
using Single = float;
using Double = double;

constexpr Integer IntegerMax = 32767;
constexpr Integer IntegerMin = -32768;

// A failed run-time operation. Unhandled, it shows its message and ends the program, as every
// run-time error does (runHandler, program.h).
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const QString &message);
    int number() const { return number_; }
    QString message() const { return message_; }

private:
    int number_;
    QString message_;
};

enum RuntimeErrorNumber {
    errOverflow = 6,
    errBadFileNumber = 52,
    errFileNotFound = 53,
    errBadFileMode = 54,
    errFileAlreadyOpen = 55,
    errDeviceIO = 57,
    errDiskFull = 61,
    errInputPastEnd = 62,
    errTooManyFiles = 67,
    errPermissionDenied = 70,
    errPathFileAccess = 75,
    errPathNotFound = 76,
};

// The number at the start of the text: leading blanks skipped, an optional sign, digits and
// one "." as decimal point; reading stops at the first other character; no number gives 0.
Double Val(const QString &text);

// The nearest Integer, halves to the even neighbour; errOverflow outside -32768..32767.
Integer CInt(Double value);

// True when CInt would succeed.
bool fitsInteger(Double value);

// The largest whole number not greater than the value.
Double Int(Double value);

// Patterns "00" (at least two digits), "#0", "###0", "####0" and "" (plain digits).
QString Format(Double value, const QString &pattern);

// red + 256 * green + 65536 * blue; a component above 255 counts as 255, below 0 as 0.
Long RGB(int red, int green, int blue);

// Where random numbers come from: Randomize reseeds, Rnd draws.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void Randomize() = 0;
    // The next value, uniform on 0 inclusive to 1 exclusive.
    virtual Single Rnd() = 0;
};

// The run-time's generator: every Randomize reseeds it from the seed source, the system clock
// unless one is given.
class Random : public RandomSource {
public:
    using SeedSource = std::function<std::uint64_t()>;
    explicit Random(SeedSource seeds = {});
    void Randomize() override;
    Single Rnd() override;

private:
    SeedSource seeds_;
    std::mt19937_64 engine_{5489u};
};

QDate Date();
// The date as text joins it: the system's short date form.
QString dateText(const QDate &date);

} // namespace platform
