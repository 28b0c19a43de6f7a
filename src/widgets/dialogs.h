// SPDX-License-Identifier: GPL-3.0-or-later
// MsgBox and InputBox through one replaceable service: real Qt boxes, silent ones, or a test's.
#pragma once

#include <QObject>
#include <QString>

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
    // The same box, read to a screen reader as `spoken`, which may say more than the screen.
    virtual int spokenMsgBox(const QString &prompt, const QString &spoken, int style,
                             const QString &title) = 0;
    // Returns the text as typed, or empty text on Cancel.
    virtual QString inputBox(const QString &prompt, const QString &title) = 0;
};

// Real boxes: plain text, Italian buttons, parented to the active window.
class QtDialogs : public DialogService {
public:
    int msgBox(const QString &prompt, int style, const QString &title) override;
    int spokenMsgBox(const QString &prompt, const QString &spoken, int style,
                     const QString &title) override;
    QString inputBox(const QString &prompt, const QString &title) override;
};

// Boxes nobody will see, for the ways out of the program that come from outside it: the text
// goes to the standard error stream and the answer is the box's default.
class SilentDialogs : public DialogService {
public:
    int msgBox(const QString &prompt, int style, const QString &title) override;
    int spokenMsgBox(const QString &prompt, const QString &, int style,
                     const QString &title) override
    {
        return msgBox(prompt, style, title);
    }
    QString inputBox(const QString &prompt, const QString &title) override;
};

// The real boxes, and the silent ones: both stateless, one of each serves the whole program.
QtDialogs &qtDialogs();
SilentDialogs &silentDialogs();

// The prompt as a box shows it: in lines at most `width` pixels wide and at most `maxLines` of
// them. The box keeps the whole prompt for the caller; only the screen shows less.
QString shownPrompt(const QString &prompt, const QFontMetrics &fm, int width, int maxLines);

} // namespace platform
