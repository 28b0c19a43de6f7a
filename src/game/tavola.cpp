// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavola.h"
#include "platform/files.h"
#include "platform/program.h"
#include "records/recordfiles.h"
#include "rules/texts.h"
#include "ui/tavola_design.h"
#include "widgets/accessibility.h"
#include "widgets/dialogs.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include <cstdlib>
#include <stdexcept>
#include <utility>

using namespace platform;
namespace text = game::text;

namespace {

constexpr int digitsOf(int number)
{
    return number < 10 ? 1 : 1 + digitsOf(number / 10);
}

// The window's answer box must hold the largest answer the rules can ask for, and a sign.
static_assert(ui::answerLength >= digitsOf(game::largestAnswer) + 1);

} // namespace

namespace {

game::Services checked(game::Services services)
{
    if (!game::complete(services))
        throw std::invalid_argument("Tavola: a service is missing");
    return services;
}

} // namespace

Tavola::Tavola(game::Services services, QObject *parent)
    : Form(ui::tavolaDesign(), parent), services_(checked(std::move(services))),
      drill_(*services_.random)
{
    ui::initResources();
    platform::onFirstTouch(this, [this] { showNumberPad(); });
    // A tablet turned, a browser's page resized: the full-screen window fills the new shape.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        connect(screen, &QScreen::geometryChanged, this, [this] {
            if (fullScreen_)
                setFullScreen(true);
        });
}

Tavola::~Tavola() = default;

void Tavola::bindControls(FormWindow &window)
{
    Timer1 = control<Timer>(window, "Timer1");
    txtAnswer = control<TextBox>(window, "txtAnswer");
    cmdNext = control<CommandButton>(window, "cmdNext");
    cmdExit = control<CommandButton>(window, "cmdExit");
    Command1 = control<QPushButton>(window, "Command1");
    Label5 = control<Label>(window, "Label5");
    Label2 = control<Label>(window, "Label2");
    lblNum1 = control<Label>(window, "lblNum1");
    lblNum2 = control<Label>(window, "lblNum2");
    Label11 = control<Label>(window, "Label11");
    lblconto = control<Label>(window, "lblconto");
    Label14 = control<Label>(window, "Label14");
    Label13 = control<Label>(window, "Label13");
    lblpunti = control<Label>(window, "lblpunti");
    Label12 = control<Label>(window, "Label12");
    lblnome1 = control<Label>(window, "lblnome1");
    lblnome = control<Label>(window, "lblnome");
    Label3 = control<Label>(window, "Label3");
    Label1 = control<Label>(window, "Label1");
    lblScore2 = control<Label>(window, "lblScore2");
    lblScore1 = control<Label>(window, "lblScore1");
    Image1 = control<Image>(window, "Image1");
    lblTime = control<Label>(window, "lblTime");
    Label4 = control<Label>(window, "Label4");
    lblScore = control<Label>(window, "lblScore");
    lblMessage = control<Label>(window, "lblMessage");
    Label6 = control<Label>(window, "Label6");
    Image2 = control<Image>(window, "Image2");
    INFOMAZIONI = window.menuItem(QStringLiteral("INFOMAZIONI"));
    Ciao = window.menuItem(QStringLiteral("Ciao"));
    copyr = window.menuItem(QStringLiteral("copyr"));
    copy = window.menuItem(QStringLiteral("copy"));
    Next = window.menuItem(QStringLiteral("Next"));
    // Browsers keep Ctrl+T for themselves: F2 reads the time too, and F8 the record, keys that
    // neither the desktops nor the browsers take.
    for (const QKeySequence &key : {QKeySequence(Qt::CTRL | Qt::Key_T), QKeySequence(Qt::Key_F2)})
        window.addKeyCommand(key, [this] { runEvent([this] { SayTimeLeft(); }); });
    window.addKeyCommand(QKeySequence(Qt::Key_F8), [this] { runEvent([this] { SayRecord(); }); });
    window.addKeyCommand(QKeySequence(Qt::Key_F11), [this] { setFullScreen(!fullScreen_); });
    window.setFullScreen(fullScreen_, padRoom());
    connectEvents();
}

void Tavola::connectEvents()
{
    connect(cmdNext, &QAbstractButton::clicked, this,
            [this] { runCommand([this] { cmdNext_Click(); }); });
    connect(cmdExit, &QAbstractButton::clicked, this,
            [this] { runCommand([this] { cmdExit_Click(); }); });
    connect(Timer1, &Timer::Tick, this, [this] { runEvent([this] { Timer1_Timer(); }); });
    connect(Next, &QAction::triggered, this, [this] { runCommand([this] { Next_Click(); }); });
    txtAnswer->setKeyPressHandler([this](Integer &keyAscii) {
        runEvent([this, &keyAscii] { txtAnswer_KeyPress(keyAscii); });
    });
}

void Tavola::unbindControls()
{
    Timer1 = nullptr;
    txtAnswer = nullptr;
    cmdNext = cmdExit = nullptr;
    Command1 = nullptr;
    Label5 = Label2 = lblNum1 = lblNum2 = Label11 = lblconto = Label14 = Label13 = nullptr;
    lblpunti = Label12 = lblnome1 = lblnome = Label3 = Label1 = lblScore2 = lblScore1 = nullptr;
    lblTime = Label4 = lblScore = lblMessage = Label6 = nullptr;
    Image1 = Image2 = nullptr;
    INFOMAZIONI = Ciao = copyr = copy = Next = nullptr;
}

// --- Game start -----------------------------------------------------------------------------

void Tavola::Form_Load()
{
    Timer1->setEnabled(false);
    const QString name = records::recordName(InputBox(text::namePrompt));
    MsgBox(text::greeting.arg(name));
    lblnome1->setCaption(name);
    playerName_ = name;
    StartClock();
    drill_.resetCounts();
    WindowsDir = GetSystemDir();
    records::createRecordFiles(WindowsDir, recordServices());
    {
        const records::PairReading reading(WindowsDir, recordServices());
        QString scorePath = recordPath(records::scoreFileName);
        const QString recordText = Leggifiletxt(scorePath);
        lblpunti->setCaption(recordText);
        drill_.setRecord(recordText);
        QString namePath = recordPath(records::nameFileName);
        lblnome->setCaption(Leggifiletxt(namePath));
    }
    lblconto->setCaption(drill_.clockText(), drill_.clockInWords());
}

QString Tavola::recordPath(const QString &fileName) const
{
    return records::recordPath(WindowsDir, fileName);
}

QString Tavola::GetSystemDir()
{
    return records::GetSystemDir(services_.recordDirectory);
}

QString Tavola::Leggifiletxt(QString &nomefile)
{
    return records::readWholeFile(nomefile);
}

// --- Questions --------------------------------------------------------------------------------

void Tavola::Form_Activate()
{
    cmdNext_Click();
    openNumberPad();
}

// --- Touch screens ------------------------------------------------------------------------------

void Tavola::showNumberPad()
{
    padWanted_ = true;
    if (window() && window()->fullScreen())
        window()->setFullScreen(true, padRoom()); // room for the pad beside the design
    openNumberPad();
}

void Tavola::openNumberPad()
{
    if (!padWanted_ || !txtAnswer || !window() || !window()->isVisible())
        return;
    if (!pad_) {
        pad_ = new NumberPad(window(), txtAnswer);
        connect(pad_, &NumberPad::frameChanged, this, [this] {
            if (fullScreen_ && window())
                window()->setFullScreen(true, padRoom());
        });
    }
    window()->leaveRoom(padRoom());
    pad_->open();
}

void Tavola::setFullScreen(bool on)
{
    fullScreen_ = on;
    if (window())
        window()->setFullScreen(on, padRoom());
    openNumberPad(); // placed anew beside the window's new size
}

// The room the pad takes beside a window as large as the screen.
QSize Tavola::padRoom() const
{
    if (!padWanted_)
        return {0, 0};
    // The pad's own frame counts once a window manager has put one around it.
    const QSize pad = pad_ && pad_->isVisible() ? pad_->frameGeometry().size()
                                                : NumberPad(nullptr, nullptr).sizeHint();
    const QScreen *screen = QGuiApplication::primaryScreen();
    const bool tall = screen && screen->geometry().height() > screen->geometry().width();
    return tall ? QSize(0, pad.height()) : QSize(pad.width(), 0);
}

void Tavola::cmdNext_Click()
{
    txtAnswer->setText(QString());
    lblMessage->setCaption(QString());
    drill_.drawQuestion();
    const int base = drill_.base();
    const int exponent = drill_.exponent();
    lblNum1->setCaption(Format(base, QStringLiteral("#0")));
    lblNum2->setCaption(Format(exponent, QStringLiteral("#0")));
    cmdNext->setEnabled(false);
    setBackColor(RGB(base * 20, exponent * 20, base * 50));
    txtAnswer->SetFocus();
    if (drill_.recordJustPassed())
        MsgBox(text::recordPassed);
}

// --- Answers ----------------------------------------------------------------------------------

void Tavola::txtAnswer_KeyPress(Integer &KeyAscii)
{
    const bool passes = KeyAscii == 8 || KeyAscii == 45 || (KeyAscii >= 48 && KeyAscii <= 57);
    if (KeyAscii != 13) {
        if (!passes)
            KeyAscii = 0;
        return;
    }
    // An answer counts once: Enter on a scored question asks the next one, as cmdNext does.
    if (drill_.answered()) {
        cmdNext_Click();
        // The focus stays in the box, so a screen reader would not read the box's new name.
        announce(Label4, Label4->accessibleName());
        return;
    }
    if (drill_.score(txtAnswer->Text())) {
        lblMessage->setCaption(text::right);
    } else {
        const QString expected = Format(drill_.expectedAnswer(), QStringLiteral("####0"));
        lblMessage->setCaption(text::wrong.arg(expected), text::wrongSpoken.arg(expected));
        lblScore1->setCaption(Format(drill_.wrong(), QStringLiteral("###0")));
    }
    lblScore->setCaption(Format(drill_.correct(), QStringLiteral("####0")));
    lblScore2->setCaption(Format(drill_.total(), QStringLiteral("####0")));
    cmdNext->setEnabled(true);
    cmdNext->SetFocus();
    KeepRecordSoFar();
}

// --- Clock ------------------------------------------------------------------------------------

void Tavola::StartClock()
{
    Timer1->setEnabled(true);
    drill_.startClock();
    lblconto->setCaption(drill_.clockText(), drill_.clockInWords());
}

void Tavola::Timer1_Timer()
{
    if (drill_.clockAtZero())
        EndGame();
    drill_.tick();
    lblconto->setCaption(drill_.clockText(), drill_.clockInWords());
    // The clock is never announced by itself; a player who cannot see it hears when it is
    // running out.
    if (drill_.secondsLeft() == 5 * 60 || drill_.secondsLeft() == 60)
        SayTimeLeft();
}

void Tavola::SayTimeLeft()
{
    if (lblconto)
        announce(lblconto, lblconto->accessibleName());
}

void Tavola::SayRecord()
{
    if (lblnome)
        announce(lblnome, lblnome->accessibleName());
}

void Tavola::Form_Resize()
{
    if (WindowState() == 1)
        ShowMinutesCaption();
    else
        setCaption(text::caption);
}

void Tavola::ShowMinutesCaption()
{
    setCaption(Format(drill_.minutesLeft(), QString()));
}

// --- Game end ---------------------------------------------------------------------------------

void Tavola::EndGame()
{
    services_.boxes->spokenMsgBox(text::goodbye.arg(drill_.secondsLeft()), SpokenGoodbye(),
                                  vbOKOnly, text::goodbyeTitle.arg(dateText(services_.today())));
    EndKeepingRecord();
}

// The screen says goodbye as designed; a child who cannot see the window hears the score too.
QString Tavola::SpokenGoodbye() const
{
    const QString score = text::goodbyeSpoken.arg(drill_.correct()).arg(drill_.total());
    return score + (drill_.scoreBeatsRecord() ? text::recordBeaten : text::recordNotBeaten);
}

void Tavola::cmdExit_Click()
{
    if (!Confirmed(text::leaveQuestion, text::leaveTitle))
        return;
    EndKeepingRecord();
}

void Tavola::Next_Click()
{
    if (!Confirmed(text::newGameQuestion, text::newGameTitle))
        return;
    CheckRecord(recordServices());
    Unload();
    Show();
}

// The window manager's close (close button, Alt+F4) must not lose a beaten record.
void Tavola::Form_Closing()
{
    EndKeepingRecord();
}

// Every way out of the game first keeps a record the score has beaten.
void Tavola::EndKeepingRecord()
{
    CheckRecord(recordServices());
    End();
}

void Tavola::SilentRecordCheck()
{
    if (!isLoaded() || !lblScore)
        return;
    // Nobody is there to answer: silent boxes, a short silent wait.
    try {
        CheckRecord(records::quietly(recordServices()));
    } catch (const RuntimeError &error) {
        tellStandardError(error.message());
    }
}

void Tavola::CheckRecord(const records::RecordServices &world)
{
    if (!drill_.scoreBeatsRecord())
        return;
    const bool savedAsBeaten = std::exchange(savedSoFar_, 0) == drill_.correct();
    auto outcome = SaveScore(world);
    // Saved as it was beaten: the record on file is this game's score, which only this game's
    // confirmation has still to tell.
    if (outcome == records::SaveOutcome::NotBeaten && savedAsBeaten &&
        Val(records::readWholeFile(recordPath(records::scoreFileName))) == drill_.correct())
        outcome = records::SaveOutcome::Saved;
    switch (outcome) {
    case records::SaveOutcome::NotBeaten:
        return;
    case records::SaveOutcome::KeptAside: // only while the program is ended from outside
        world.boxes->msgBox(text::recordKeptAside, vbOKOnly, QString());
        return;
    case records::SaveOutcome::Saved:
        world.boxes->msgBox(text::recordSaved, vbOKOnly, QString());
        return;
    }
}

records::SaveOutcome Tavola::SaveScore(const records::RecordServices &world)
{
    // Under the lock the same rule meets the record on file, which another game may have raised.
    const auto beats = [this](double record) { return drill_.scoreBeats(record); };
    const QString score = Format(drill_.correct(), QStringLiteral("####0"));
    return records::saveRecord(WindowsDir, score, playerName_, beats, world);
}

// Where the page can go at any moment, the record is saved as soon as the score beats it and again
// at each further point, with no box and no wait (the game goes on at once; a browser's record
// store compares and stores the pair by itself); the end of the game then confirms it. A save
// that fails here is tried again, and told, at the end.
void Tavola::KeepRecordSoFar()
{
    if (!services_.saveAsScoreGrows || !drill_.scoreBeatsRecord() ||
        savedSoFar_ == drill_.correct())
        return;
    try {
        if (SaveScore(records::quietly(recordServices())) == records::SaveOutcome::Saved)
            savedSoFar_ = drill_.correct();
    } catch (const RuntimeError &error) {
        tellStandardError(error.message());
    }
}

// --- The world, as the window was given it ------------------------------------------------

records::RecordServices Tavola::recordServices() const
{
    return {services_.boxes, services_.wait, services_.systemCalls, true};
}

// A yes/no question with No as its default button: Enter, Escape and closing the box all answer
// No, and only No declines.
bool Tavola::Confirmed(const QString &prompt, const QString &title)
{
    return MsgBox(prompt, vbYesNo | vbQuestion | vbDefaultButton2, title) != vbNo;
}

int Tavola::MsgBox(const QString &prompt, int style, const QString &title)
{
    return services_.boxes->msgBox(prompt, style, title);
}

QString Tavola::InputBox(const QString &prompt)
{
    return services_.boxes->inputBox(prompt, QString());
}

void Tavola::End(int code)
{
    CloseAll();
    services_.end(code);
    std::abort(); // an end that returns would run code after the program's end
}

void Tavola::runEvent(const std::function<void()> &handler)
{
    runHandler(handler, *services_.boxes, [this](int code) { End(code); });
}
