// SPDX-License-Identifier: GPL-3.0-or-later
// Tavola, the game's one window: it wires its controls to the drill's rules. Every control and
// handler keeps the name the game's design gives it, and each handler its steps in the design's
// order (the tests follow them); the handlers ask the drill and write captions, and no decision
// reads a caption back.
#pragma once

#include "platform/runtime.h"
#include "rules/drill.h"
#include "services.h"
#include "widgets/form.h"
#include "widgets/numberpad.h"

class QPushButton;
class QAction;

class Tavola : public platform::Form {
    Q_OBJECT
public:
    using Integer = platform::Integer;
    using Single = platform::Single;

    // Every service must be set (game::complete): a missing one throws std::invalid_argument.
    explicit Tavola(game::Services services, QObject *parent = nullptr);
    ~Tavola() override;

    // The game's rules and state.
    const game::Drill &drill() const { return drill_; }
    // The record files' directory, with one backslash at its end.
    QString WindowsDir;

    // The record files' directory and reading.
    QString GetSystemDir();
    QString Leggifiletxt(QString &nomefile);

    // The record check for a way out that comes from outside (a signal, the logout, a display
    // gone): no box, a failure told on the standard error stream.
    void SilentRecordCheck();

    // For touch screens and whiteboards: the number pad (it opens by itself at the first touch,
    // and stays for every later game), and the window as large as the screen (F11 switches).
    void showNumberPad();
    void setFullScreen(bool on);

    // Event handlers.
    void cmdNext_Click();
    void txtAnswer_KeyPress(Integer &KeyAscii);
    void Timer1_Timer();
    void cmdExit_Click();
    void Next_Click();
    // Ctrl+T or F2: a screen reader says the time left, in words.
    void SayTimeLeft();
    void SayRecord();
    QString SpokenGoodbye() const;

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

    // Runs a handler; a run-time error escaping it is shown in this window's boxes and ends the
    // program.
    void runEvent(const std::function<void()> &handler) override;

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
    void CheckRecord(const records::RecordServices &world);
    records::SaveOutcome SaveScore(const records::RecordServices &world);
    void KeepRecordSoFar();
    records::RecordServices recordServices() const;
    [[noreturn]] void EndKeepingRecord();
    void connectEvents();
    QString recordPath(const QString &fileName) const;
    int MsgBox(const QString &prompt, int style = platform::vbOKOnly,
               const QString &title = QString());
    QString InputBox(const QString &prompt);
    bool Confirmed(const QString &prompt, const QString &title);
    [[noreturn]] void End(int code = 0);

    game::Services services_;
    game::Drill drill_;
    QString playerName_;
    void openNumberPad();
    QSize padRoom() const;
    bool padWanted_ = false;
    bool fullScreen_ = false;
    QPointer<platform::NumberPad> pad_;
    // The score this game has saved already as the record (see KeepRecordSoFar), or 0.
    Integer savedSoFar_ = 0;
};
