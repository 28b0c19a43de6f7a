// SPDX-License-Identifier: GPL-3.0-or-later
// Record files of arbitrary bytes read into a game start: the captions hold the bytes exactly (or
// the text behind an editor's byte-order mark), the game plays, and its record check keeps or
// replaces the pair as the stored score says.
#include "fuzzgame.h"
#include "platform/cp1252.h"
#include "rules/texts.h"

#include <QStringDecoder>

#include <fuzzer/FuzzedDataProvider.h>

using namespace platform;

namespace {

struct Case {
    QByteArray score;  // what vora.txt holds before the game, unless missing
    QByteArray holder; // what nvora.txt holds
    bool scoreMissing; // the file does not exist yet
    bool holderMissing;
    bool rightAnswer; // the one answer of the game is right
    bool leaveByExit; // the record check runs through Exit, otherwise through a new game
};

Case readCase(FuzzedDataProvider &in)
{
    Case c;
    const auto flags = in.ConsumeIntegral<std::uint8_t>();
    c.scoreMissing = (flags & 0x07) == 0x07;
    c.holderMissing = (flags & 0x38) == 0x38;
    c.rightAnswer = flags & 0x40;
    c.leaveByExit = flags & 0x80;
    const std::string score = in.ConsumeRandomLengthString(4096);
    c.score = QByteArray(score.data(), qsizetype(score.size()));
    const std::string holder = in.ConsumeRemainingBytesAsString();
    c.holder = QByteArray(holder.data(), qsizetype(holder.size()));
    return c;
}

QByteArray onDisk(const Case &c, bool holder)
{
    if (holder)
        return c.holderMissing ? QByteArray() : c.holder;
    return c.scoreMissing ? QByteArray() : c.score;
}

// A file that begins with a UTF-8 or UTF-16 byte-order mark is the text behind it; any other is
// one Windows-1252 character a byte.
QString shownText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    return fromCp1252(bytes);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK_EQ(f.write(bytes), bytes.size());
}

void answerOnce(Tavola &game, bool right)
{
    const int value = right ? game.drill().expectedAnswer() : game.drill().expectedAnswer() + 1;
    game.txtAnswer->setFocus();
    QTest::keyClicks(game.txtAnswer, QString::number(value));
    QTest::keyClick(game.txtAnswer, Qt::Key_Return);
    FUZZ_CHECK_EQ(int(game.drill().correct()), right ? 1 : 0);
}

// Runs the record check as a player would; true when the program ended.
bool leave(GameSeams &seams, Tavola &game, bool byExit)
{
    seams.dialogs.answer(vbYes);
    if (!byExit) {
        seams.dialogs.type(QStringLiteral("Bruno"));
        seams.dialogs.answer(vbOK);
    }
    try {
        // The button's own handler, as its click runs it: an End thrown through Qt's frames
        // would skip their clean-up and show up as leaks of the harness, not of the game.
        if (byExit)
            game.runEvent([&game] { game.cmdExit_Click(); });
        else
            game.Next->trigger();
    } catch (const ProgramEnded &end) {
        FUZZ_CHECK_EQ(end.code, 0);
        return true;
    }
    return false;
}

void play(const Case &c)
{
    GameSeams seams;
    if (!c.scoreMissing)
        writeFile(seams.path(records::scoreFileName), c.score);
    if (!c.holderMissing)
        writeFile(seams.path(records::nameFileName), c.holder);
    Tavola game(seams.services());
    const QString name = QStringLiteral("Anna");
    FUZZ_CHECK(fuzzgame::start(seams, game, name));

    const QByteArray score = onDisk(c, false);
    const QByteArray holder = onDisk(c, true);
    FUZZ_CHECK_EQ(game.lblpunti->Caption(), shownText(score));
    FUZZ_CHECK_EQ(game.lblnome->Caption(), shownText(holder));
    if (shownText(score) == fromCp1252(score))
        FUZZ_CHECK_EQ(toCp1252(game.lblpunti->Caption()), score);
    if (shownText(holder) == fromCp1252(holder))
        FUZZ_CHECK_EQ(toCp1252(game.lblnome->Caption()), holder);
    FUZZ_CHECK_EQ(seams.bytes(records::scoreFileName), score); // reading changed nothing
    FUZZ_CHECK_EQ(seams.bytes(records::nameFileName), holder);

    answerOnce(game, c.rightAnswer);
    fuzzgame::checkSteady(game);
    const int points = c.rightAnswer ? 1 : 0;
    const bool beaten = Val(shownText(score)) < points;
    const bool ended = leave(seams, game, c.leaveByExit);
    FUZZ_CHECK_EQ(ended, c.leaveByExit);
    const QByteArray newScore = beaten ? QByteArray::number(points) + "\r\n" : score;
    const QByteArray newHolder = beaten ? toCp1252(name) + "\r\n" : holder;
    FUZZ_CHECK_EQ(seams.bytes(records::scoreFileName), newScore);
    FUZZ_CHECK_EQ(seams.bytes(records::nameFileName), newHolder);
    FUZZ_CHECK_EQ(seams.dialogs.prompts().contains(game::text::recordSaved), beaten);
    if (!ended) {
        // The next game shows the pair just kept or written.
        FUZZ_CHECK_EQ(game.lblpunti->Caption(), shownText(newScore));
        FUZZ_CHECK_EQ(game.lblnome->Caption(), shownText(newHolder));
        fuzzgame::checkSteady(game);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzgame::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    play(readCase(input));
    fuzzgame::settle();
    return 0;
}
