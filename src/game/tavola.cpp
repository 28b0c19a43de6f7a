// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavola.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/program.h"
#include "records/recordfiles.h"
#include "ui/tavola_design.h"

#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace platform;

namespace {

// Counters stop at the top of the Integer range instead of overflowing.
Integer saturatedSum(int a, int b)
{
    return Integer(std::min(a + b, int(IntegerMax)));
}

const QString zeroTime = QStringLiteral("00:00:00");

} // namespace

Tavola::Tavola(QObject *parent) : Form(ui::tavolaDesign(), parent)
{
    ui::initResources();
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
    connectEvents();
}

void Tavola::connectEvents()
{
    connect(cmdNext, &QAbstractButton::clicked, this,
            [this] { runHandler([this] { cmdNext_Click(); }); });
    connect(cmdExit, &QAbstractButton::clicked, this,
            [this] { runHandler([this] { cmdExit_Click(); }); });
    connect(Timer1, &Timer::Tick, this, [this] { runHandler([this] { Timer1_Timer(); }); });
    connect(Next, &QAction::triggered, this, [this] { runHandler([this] { Next_Click(); }); });
    txtAnswer->setKeyPressHandler([this](Integer &keyAscii) {
        runHandler([this, &keyAscii] { txtAnswer_KeyPress(keyAscii); });
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
    const QString name = InputBox(QStringLiteral("Come ti chiami"));
    MsgBox(u' ' + name + QStringLiteral(" vediamo se sei un vero campione  "));
    lblnome1->setCaption(name);
    StartClock();
    CorrectCount = 0;
    WrongCount = 0;
    WindowsDir = GetSystemDir();
    FileNumber = Integer(records::createRecordFiles(WindowsDir));
    {
        const records::PairReading reading(WindowsDir);
        QString scorePath = recordPath(records::scoreFileName);
        lblpunti->setCaption(Leggifiletxt(scorePath));
        QString namePath = recordPath(records::nameFileName);
        lblnome->setCaption(Leggifiletxt(namePath));
    }
    SecondsLeft = CInt(ClockSeconds + 900);
    lblconto->setCaption(clockText());
}

QString Tavola::recordPath(const QString &fileName) const
{
    return WindowsDir + u'\\' + fileName;
}

QString Tavola::GetSystemDir()
{
    return records::GetSystemDir();
}

QString Tavola::Leggifiletxt(QString &nomefile)
{
    return records::readWholeFile(nomefile);
}

// --- Questions --------------------------------------------------------------------------------

void Tavola::Form_Activate()
{
    cmdNext_Click();
}

void Tavola::cmdNext_Click()
{
    txtAnswer->setText(QString());
    lblMessage->setCaption(QString());
    Randomize();
    Base = Integer(Int(Rnd() * 10) + 1);
    Exponent = Integer(Int(Rnd() * 3));
    lblNum1->setCaption(Format(Base, QStringLiteral("#0")));
    lblNum2->setCaption(Format(Exponent, QStringLiteral("#0")));
    ExpectedAnswer = CInt(std::pow(double(Base), double(Exponent)));
    cmdNext->setEnabled(false);
    setBackColor(RGB(Base * 20, Exponent * 20, Base * 50));
    txtAnswer->SetFocus();
    if (Val(lblpunti->Caption()) + 1 == CDbl(lblScore->Caption()))
        MsgBox(QStringLiteral("E' record"));
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
    // A value outside the Integer range (pasted text) is a wrong answer, not an overflow.
    const Double value = Val(txtAnswer->Text());
    if (fitsInteger(value) && CInt(value) == ExpectedAnswer) {
        CorrectCount = saturatedSum(CorrectCount, 1);
        lblMessage->setCaption(QStringLiteral("Esatto, è incredibile!!!"));
    } else {
        WrongCount = saturatedSum(WrongCount, 1);
        lblMessage->setCaption(QStringLiteral("Sbagliato!! ") +
                               Format(ExpectedAnswer, QStringLiteral("####0")));
        lblScore1->setCaption(Format(WrongCount, QStringLiteral("###0")));
    }
    lblScore->setCaption(Format(CorrectCount, QStringLiteral("####0")));
    lblScore2->setCaption(Format(saturatedSum(WrongCount, CorrectCount), QStringLiteral("####0")));
    cmdNext->setEnabled(true);
    cmdNext->SetFocus();
}

// --- Clock ------------------------------------------------------------------------------------

QString Tavola::clockText() const
{
    const QString pattern = QStringLiteral("00");
    return Format(ClockHours, pattern) + u':' + Format(ClockMinutes, pattern) + u':' +
           Format(ClockSeconds, pattern);
}

void Tavola::StartClock()
{
    Timer1->setEnabled(true);
    ClockHours = 0;
    ClockMinutes = 15;
    ClockSeconds = 0;
    SecondsLeft = 900;
    lblconto->setCaption(clockText());
}

void Tavola::Timer1_Timer()
{
    if (lblconto->Caption() == zeroTime)
        EndGame();
    if (ClockSeconds == 0) {
        ClockMinutes = Integer(ClockMinutes - 1);
        ClockSeconds = 60;
    }
    ClockSeconds -= 1;
    SecondsLeft = Integer(SecondsLeft - 1);
    lblconto->setCaption(clockText());
}

void Tavola::Form_Resize()
{
    if (WindowState() == 1)
        ShowMinutesCaption();
    else
        setCaption(QStringLiteral("Vorandi"));
}

void Tavola::ShowMinutesCaption()
{
    setCaption(Format(ClockMinutes, QString()));
}

// --- Game end ---------------------------------------------------------------------------------

void Tavola::EndGame()
{
    MsgBox(QStringLiteral("Ciao a presto. Ore ") + QString::number(SecondsLeft), vbOKOnly,
           QStringLiteral("Data ") + dateText(Date()));
    for (PauseCounter = 1; PauseCounter <= 1000; PauseCounter = Integer(PauseCounter + 1)) {
    }
    CheckRecord();
    End();
}

void Tavola::cmdExit_Click()
{
    if (MsgBox(QStringLiteral("Vuoi veramente lasciarmi  ?"),
               vbYesNo | vbQuestion | vbDefaultButton2,
               QStringLiteral("Uscire dal programma")) == vbNo)
        return;
    CheckRecord();
    End();
}

void Tavola::Next_Click()
{
    if (MsgBox(QStringLiteral("INIZIAMO UNA NUOVA GARA  ?"),
               vbYesNo | vbQuestion | vbDefaultButton2,
               QStringLiteral("INIZIARE NUOVA GARA")) == vbNo)
        return;
    CheckRecord();
    Unload();
    Show();
}

// The window manager's close (close button, Alt+F4) must not lose a beaten record.
void Tavola::Form_Closing()
{
    CheckRecord();
    End();
}

void Tavola::SilentRecordCheck()
{
    if (!isLoaded() || !lblScore)
        return;
    try {
        CheckRecord();
    } catch (const RuntimeError &error) {
        std::fprintf(stderr, "Vorandi: %s\n", error.message().toLocal8Bit().constData());
    }
}

void Tavola::CheckRecord()
{
    const Double record = Val(lblpunti->Caption());
    const Double score = CDbl(lblScore->Caption());
    if (record >= score)
        return;
    FileNumber = Integer(FreeFile());
    OutputLine = lblScore->Caption();
    if (!records::saveRecord(WindowsDir, OutputLine, lblnome1->Caption()))
        return;
    OutputLine = lblnome1->Caption();
    MsgBox(QStringLiteral("Ok ho registrato il tuo record, C A M P I O N E\""));
}
