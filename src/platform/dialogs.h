// SPDX-License-Identifier: GPL-3.0-or-later
// MsgBox and InputBox through one replaceable service: real Qt boxes, or a script in tests.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

class QFontMetrics;
class QWidget;

namespace platform {

// Styles and answers of MsgBox.
enum MsgBoxStyle {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbDefaultButton2 = 256,
};
enum MsgBoxResult { vbOK = 1, vbYes = 6, vbNo = 7 };

// Whether a MsgBox style asks Yes or No (otherwise the box has OK alone).
constexpr bool asksYesNo(int style)
{
    return (style & 7) == vbYesNo;
}

// The title a box carries when it has none of its own.
inline QString applicationTitle()
{
    return QStringLiteral("Vorandi");
}

// Counts the program's own open boxes, so that timers can hold their ticks meanwhile.
class ModalGate : public QObject {
    Q_OBJECT
public:
    static ModalGate &instance();
    int depth() const { return depth_; }
    void enter();
    void leave();

signals:
    // A box's nested event loop is about to start (the platform may prepare for it).
    void entered();
    // A box's nested event loop has ended.
    void left();

private:
    int depth_ = 0;
};

class ModalScope {
public:
    ModalScope() { ModalGate::instance().enter(); }
    ~ModalScope() { ModalGate::instance().leave(); }
    ModalScope(const ModalScope &) = delete;
    ModalScope &operator=(const ModalScope &) = delete;
};

class DialogService {
public:
    virtual ~DialogService() = default;
    // Returns vbOK, vbYes or vbNo.
    virtual int msgBox(const QString &prompt, int style, const QString &title) = 0;
    // Returns the text as typed, or empty text on Cancel.
    virtual QString inputBox(const QString &prompt, const QString &title) = 0;
};

// Real boxes: plain text, Italian buttons, parented to the active window.
class QtDialogs : public DialogService {
public:
    int msgBox(const QString &prompt, int style, const QString &title) override;
    QString inputBox(const QString &prompt, const QString &title) override;
};

// For tests: answers from a queue and records every box it was asked to show.
class ScriptedDialogs : public DialogService {
public:
    enum class Kind { Message, Input };
    struct Call {
        Kind kind;
        QString prompt;
        int style;
        QString title;
    };
    // Runs while the "box" is open (inside the modal gate); may return an answer.
    using Action = std::function<void(const Call &)>;

    void answer(int button, Action whileOpen = {});
    void type(const QString &text, Action whileOpen = {});
    void cancel(Action whileOpen = {}) { type(QString(), std::move(whileOpen)); }

    int msgBox(const QString &prompt, int style, const QString &title) override;
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

// The real boxes.
QtDialogs &qtDialogs();

// The service the platform's own MsgBox and InputBox go through; the real one unless a test set
// another. A window uses the boxes it was given.
DialogService &dialogService();
void setDialogService(DialogService *service);

// The prompt as a box shows it: in lines at most `width` pixels wide and at most `maxLines` of
// them. The box keeps the whole prompt for the caller; only the screen shows less.
QString shownPrompt(const QString &prompt, const QFontMetrics &fm, int width, int maxLines);

int MsgBox(const QString &prompt, int style = vbOKOnly, const QString &title = QString());
QString InputBox(const QString &prompt, const QString &title = QString());

} // namespace platform
