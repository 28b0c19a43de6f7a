// SPDX-License-Identifier: GPL-3.0-or-later
// Tavola, the game's one window: a game's state, its questions, answers, clock, start and end.
#pragma once

#include "platform/form.h"
#include "platform/runtime.h"

class QPushButton;
class QAction;

class Tavola : public platform::Form {
    Q_OBJECT
public:
    using Integer = platform::Integer;
    using Single = platform::Single;

    explicit Tavola(QObject *parent = nullptr);
    ~Tavola() override;

    // The game's state: plain fields, as the handlers read and write them.
    Integer ExpectedAnswer = 0;
    Integer CorrectCount = 0;
    Integer WrongCount = 0;
    Integer Base = 0;
    Integer Exponent = 0;
    Integer FileNumber = 0;
    QString OutputLine;
    Integer PauseCounter = 0;
    Integer ClockHours = 0;
    Integer ClockMinutes = 0;
    Single ClockSeconds = 0;
    Integer SecondsLeft = 0;
    QString WindowsDir;

    // The record files' directory and reading.
    QString GetSystemDir();
    QString Leggifiletxt(QString &nomefile);

    // The record check for a way out that comes from outside (a signal, the logout, a display
    // gone): no box, a failure told on the standard error stream.
    void SilentRecordCheck();

    // Event handlers.
    void cmdNext_Click();
    void txtAnswer_KeyPress(Integer &KeyAscii);
    void Timer1_Timer();
    void cmdExit_Click();
    void Next_Click();

    // The controls of the loaded window; null while it is unloaded.
    platform::Timer *Timer1 = nullptr;
    platform::TextBox *txtAnswer = nullptr;
    platform::CommandButton *cmdNext = nullptr;
    platform::CommandButton *cmdExit = nullptr;
    QPushButton *Command1 = nullptr;
    platform::Label *Label5 = nullptr;
    platform::Label *Label2 = nullptr;
    platform::Label *lblNum1 = nullptr;
    platform::Label *lblNum2 = nullptr;
    platform::Label *Label11 = nullptr;
    platform::Label *lblconto = nullptr;
    platform::Label *Label14 = nullptr;
    platform::Label *Label13 = nullptr;
    platform::Label *lblpunti = nullptr;
    platform::Label *Label12 = nullptr;
    platform::Label *lblnome1 = nullptr;
    platform::Label *lblnome = nullptr;
    platform::Label *Label3 = nullptr;
    platform::Label *Label1 = nullptr;
    platform::Label *lblScore2 = nullptr;
    platform::Label *lblScore1 = nullptr;
    platform::Image *Image1 = nullptr;
    platform::Label *lblTime = nullptr;
    platform::Label *Label4 = nullptr;
    platform::Label *lblScore = nullptr;
    platform::Label *lblMessage = nullptr;
    platform::Label *Label6 = nullptr;
    platform::Image *Image2 = nullptr;
    QAction *INFOMAZIONI = nullptr;
    QAction *Ciao = nullptr;
    QAction *copyr = nullptr;
    QAction *copy = nullptr;
    QAction *Next = nullptr;

protected:
    void bindControls(platform::FormWindow &window) override;
    void unbindControls() override;
    void Form_Load() override;
    void Form_Activate() override;
    void Form_Resize() override;
    void Form_Closing() override;

private:
    void StartClock();
    void ShowMinutesCaption();
    [[noreturn]] void EndGame();
    void CheckRecord();
    QString clockText() const;
    void connectEvents();
    QString recordPath(const QString &fileName) const;
};
