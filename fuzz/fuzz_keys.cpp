// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary sequences of keys, Enter presses, pasted and composed text, clicks, menu commands
// and clock ticks against a running game window: no crash, no run-time error, the counters
// and the verdict always agree, and the record files always hold a pair that a game wrote.
#include "fuzzgame.h"
#include "platform/cp1252.h"

#include <QClipboard>
#include <QInputMethodEvent>

#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

using namespace platform;

namespace {

enum class Action : std::uint8_t {
    Key,
    Enter,
    Backspace,
    Paste,
    Compose,
    ClickNext,
    ClickExit,
    NewGame,
    ScriptYes,
    Tick,
    WaitForTheEnd,
    Special,
    Wait,
    kMaxValue = Wait, // FuzzedDataProvider's bound
};

struct Player {
    QString name;
    double recordAtStart;
};

class Session {
public:
    explicit Session(FuzzedDataProvider &input) : in_(input) {}

    void run()
    {
        const QString name = QString::fromUtf8(in_.ConsumeRandomLengthString(64));
        if (!fuzzgame::start(seams_, game_, name)) {
            FUZZ_CHECK(false); // a fresh record directory never fails
        }
        players_.push_back({records::recordName(name), 0}); // the name as the game keeps it
        for (int step = 0; step < 64 && in_.remaining_bytes() > 0; ++step) {
            const int scoreBefore = game_.drill().correct();
            const double recordBefore = Val(game_.lblpunti->Caption());
            const QString nameBefore = game_.lblnome1->Caption();
            const FormWindow *windowBefore = game_.window();
            try {
                act(in_.ConsumeEnum<Action>());
            } catch (const ProgramEnded &end) {
                FUZZ_CHECK_EQ(end.code, 0);
                checkSaved(game_.drill().correct(), recordBefore, nameBefore);
                checkPair();
                return;
            }
            if (game_.window() != windowBefore) {
                // A new game began: the one before ran its record check.
                checkSaved(scoreBefore, recordBefore, nameBefore);
                players_.push_back({game_.lblnome1->Caption(), Val(game_.lblpunti->Caption())});
            }
            fuzzgame::checkSteady(game_);
            checkPair();
        }
    }

private:
    QWindow *window() const { return game_.window() ? game_.window()->windowHandle() : nullptr; }

    void key(Qt::Key code, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (QWindow *w = window())
            QTest::sendKeyEvent(QTest::Click, w, code, text, modifiers);
    }

    QString someText(std::size_t limit)
    {
        return QString::fromUtf8(in_.ConsumeRandomLengthString(limit));
    }

    void typeOne()
    {
        const auto kind = in_.ConsumeIntegral<std::uint8_t>();
        char16_t c = 0;
        if (kind < 128)
            c = char16_t(u'0' + kind % 10);
        else if (kind < 200)
            c = char16_t(0x20 + kind % 0x5F);
        else
            c = in_.ConsumeIntegral<std::uint16_t>();
        const bool ascii = c >= 0x20 && c < 0x7F;
        const Qt::Key code = ascii ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown;
        static const Qt::KeyboardModifiers modifiers[] = {
            Qt::NoModifier,      Qt::NoModifier,  Qt::NoModifier,     Qt::ShiftModifier,
            Qt::ControlModifier, Qt::AltModifier, Qt::KeypadModifier, Qt::MetaModifier};
        key(code, QString(QChar(c)), modifiers[in_.ConsumeIntegralInRange(0, 7)]);
    }

    void special()
    {
        static const Qt::Key keys[] = {
            Qt::Key_Tab,   Qt::Key_Backtab, Qt::Key_Escape, Qt::Key_Space,  Qt::Key_Left,
            Qt::Key_Right, Qt::Key_Home,    Qt::Key_End,    Qt::Key_Delete, Qt::Key_Alt,
            Qt::Key_F10,   Qt::Key_Enter,   Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Insert};
        const Qt::Key k = keys[in_.ConsumeIntegralInRange<std::size_t>(0, std::size(keys) - 1)];
        const QString text = k == Qt::Key_Space   ? QStringLiteral(" ")
                             : k == Qt::Key_Enter ? QStringLiteral("\r")
                             : k == Qt::Key_Tab   ? QStringLiteral("\t")
                                                  : QString();
        key(k, text, in_.ConsumeBool() ? Qt::NoModifier : Qt::AltModifier);
    }

    // Text that arrives without key presses, as an input method or a compose key delivers it.
    void compose()
    {
        QWidget *focus = QApplication::focusWidget();
        if (!focus)
            return;
        QInputMethodEvent event;
        event.setCommitString(someText(16));
        QApplication::sendEvent(focus, &event);
    }

    void tick(int count)
    {
        for (int i = 0; i < count && game_.isLoaded(); ++i)
            emit game_.Timer1->Tick();
    }

    void act(Action a)
    {
        switch (a) {
        case Action::Key:
            typeOne();
            break;
        case Action::Enter:
            key(Qt::Key_Return, QStringLiteral("\r"));
            break;
        case Action::Backspace:
            key(Qt::Key_Backspace, QStringLiteral("\b"));
            break;
        case Action::Paste:
            QGuiApplication::clipboard()->setText(someText(32));
            key(Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
            break;
        case Action::Compose:
            compose();
            break;
        case Action::ClickNext:
            if (game_.cmdNext)
                QTest::mouseClick(game_.cmdNext, Qt::LeftButton);
            break;
        case Action::ClickExit:
            if (game_.cmdExit)
                QTest::mouseClick(game_.cmdExit, Qt::LeftButton);
            break;
        case Action::NewGame:
            if (game_.Next)
                game_.Next->trigger();
            break;
        case Action::ScriptYes:
            // The next question box is answered Yes; a new game's prompts get a name and OK.
            seams_.dialogs.answer(vbYes);
            seams_.dialogs.type(someText(24));
            seams_.dialogs.answer(vbOK);
            break;
        case Action::Tick:
            tick(in_.ConsumeIntegralInRange(1, 120));
            break;
        case Action::WaitForTheEnd:
            tick(1000);
            break;
        case Action::Special:
            special();
            break;
        case Action::Wait:
            // Lets an access key's delayed click land; once per input keeps replays quick.
            if (!waited_) {
                waited_ = true;
                QTest::qWait(in_.ConsumeIntegralInRange(0, 120));
            }
            break;
        }
    }

    // After a record check: a beaten record was written with its holder's name.
    void checkSaved(int score, double record, const QString &name)
    {
        if (score <= record)
            return;
        FUZZ_CHECK_EQ(seams_.bytes(records::scoreFileName), QByteArray::number(score) + "\r\n");
        FUZZ_CHECK_EQ(seams_.bytes(records::nameFileName), toCp1252(name) + "\r\n");
    }

    // At any moment the two files hold nothing, or a score with the name of a game that made it.
    void checkPair()
    {
        const QByteArray score = seams_.bytes(records::scoreFileName);
        const QByteArray holder = seams_.bytes(records::nameFileName);
        if (score.isEmpty()) {
            FUZZ_CHECK(holder.isEmpty());
            return;
        }
        FUZZ_CHECK(score.endsWith("\r\n"));
        bool known = false;
        for (const Player &p : players_)
            known = known || holder == toCp1252(p.name) + "\r\n";
        FUZZ_CHECK(known);
    }

    FuzzedDataProvider &in_;
    GameSeams seams_;
    Tavola game_{seams_.services()};
    std::vector<Player> players_;
    bool waited_ = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzgame::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    {
        Session session(input);
        session.run();
    }
    fuzzgame::settle();
    return 0;
}
