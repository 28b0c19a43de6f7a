// SPDX-License-Identifier: GPL-3.0-or-later
// The drill's rules with no window: questions, answers, counters, the countdown and the record.
#pragma once

#include "platform/runtime.h"

#include <QString>

namespace game {

using platform::Double;
using platform::Integer;

// A game lasts this many seconds (fifteen minutes).
constexpr int gameSeconds = 900;
// A question's base and exponent, both ends included.
constexpr int baseMin = 1;
constexpr int baseMax = 10;
constexpr int exponentMin = 0;
constexpr int exponentMax = 2;

// The largest answer a question can ask for: the largest base to the largest exponent.
constexpr int largestAnswer = [] {
    int answer = 1;
    for (int i = 0; i < exponentMax; ++i) {
        answer *= baseMax;
    }
    return answer;
}();

// The clock's face for a number of seconds: "hh:mm:ss", two digits each.
QString clockText(int seconds);
// The same as a screen reader says it: "13 minuti e 16 secondi".
QString clockInWords(int seconds);

// The one rule for a new record: strictly above the record; an equal score leaves it.
constexpr bool beatsRecord(Double score, Double record)
{
    return score > record;
}

class Drill {
public:
    explicit Drill(platform::RandomSource &random) : random_(random) {}

    // A new game: the counters back to 0, the countdown full.
    void resetCounts();
    void startClock();

    // Reseeds the random source, then draws a base and an exponent.
    void drawQuestion();
    Integer base() const { return base_; }
    Integer exponent() const { return exponent_; }
    Integer expectedAnswer() const { return expected_; }

    // Scores the typed text against the question: its leading number, as the answer box gives
    // it; a value outside the Integer range is wrong. Returns true when right.
    bool score(const QString &typed);
    // The question on screen has been scored: a further answer to it would count it twice.
    bool answered() const { return answered_; }
    Integer correct() const { return correct_; }
    Integer wrong() const { return wrong_; }
    // Right and wrong together, stopping at 32767 like each counter.
    Integer total() const;

    // The record as it stood when the game started: the leading number of the record text.
    void setRecord(const QString &recordText);
    Double record() const { return record_; }
    // The correct answers have just gone one past the record.
    bool recordJustPassed() const;
    // The game's score beats the record it started with, or the one given.
    bool scoreBeatsRecord() const { return scoreBeats(record_); }
    bool scoreBeats(Double record) const { return beatsRecord(correct_, record); }

    // The countdown in whole seconds. A tick at zero ends the game instead of counting.
    int secondsLeft() const { return secondsLeft_; }
    bool clockAtZero() const { return running_ && secondsLeft_ == 0; }
    void tick();
    int minutesLeft() const { return secondsLeft_ / 60; }
    QString clockText() const { return game::clockText(secondsLeft_); }
    QString clockInWords() const { return game::clockInWords(secondsLeft_); }

private:
    platform::RandomSource &random_;
    Integer base_ = 0;
    Integer exponent_ = 0;
    Integer expected_ = 0;
    Integer correct_ = 0;
    Integer wrong_ = 0;
    bool answered_ = false;
    Double record_ = 0;
    int secondsLeft_ = 0;
    bool running_ = false;
};

} // namespace game
