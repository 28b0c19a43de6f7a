// SPDX-License-Identifier: GPL-3.0-or-later
// Test doubles for the game's seams: scripted boxes and waits, an End a test can catch, a record
// directory call over a fixed text. Linked by tests, fuzzers, benchmarks and tools only.
#pragma once

#include "platform/waiting.h"
#include "records/recordfiles.h"
#include "widgets/dialogs.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace platform {

// Thrown by the end hook tests install; never let it cross the event loop.
struct ProgramEnded {
    int code;
};

// Boxes answered from a queue; records every box it was asked to show.
class ScriptedDialogs : public DialogService {
public:
    enum class Kind { Message, Input };
    struct Call {
        Kind kind;
        QString prompt;
        int style;
        QString title;
        QString spoken; // what a screen reader hears instead of the prompt, when it differs
    };
    // Runs while the "box" is open (inside the modal gate); may return an answer.
    using Action = std::function<void(const Call &)>;

    void answer(int button, Action whileOpen = {});
    void type(const QString &text, Action whileOpen = {});
    void cancel(Action whileOpen = {}) { type(QString(), std::move(whileOpen)); }

    int msgBox(const QString &prompt, int style, const QString &title) override;
    int spokenMsgBox(const QString &prompt, const QString &spoken, int style,
                     const QString &title) override;
    QString inputBox(const QString &prompt, const QString &title) override;

    const QList<Call> &calls() const { return calls_; }
    QStringList prompts() const;
    void clearCalls() { calls_.clear(); }
    qsizetype pendingAnswers() const { return qsizetype(script_.size()); }

private:
    struct Answer {
        Kind kind;
        int button;
        QString text;
        Action whileOpen;
    };
    Answer next(Kind kind);

    std::deque<Answer> script_;
    QList<Call> calls_;
};

// A wait for a lock another game holds, with nothing on screen: it keeps the message, runs what
// the test gives (the other game letting go, say) and answers whether the lock came free.
class ScriptedWait : public WaitService {
public:
    bool waitFor(const QString &message, const std::function<bool()> &ready,
                 std::chrono::milliseconds) override;
    // What happens during each wait in turn; a wait with nothing left to run just looks again.
    std::deque<std::function<void()>> rounds;
    QStringList messages;
};

} // namespace platform

namespace records {

// kernel32's contract over a fixed text; a null text is a failed call.
WindowsDirectoryCall windowsDirectoryReturning(const QByteArray &text);

} // namespace records
