// SPDX-License-Identifier: GPL-3.0-or-later
// MsgBox and InputBox through one replaceable service: real boxes (widgets/dialogs.h), silent
// ones, or a test's.
#pragma once

#include <QString>

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

// The silent boxes: stateless, one serves the whole program.
SilentDialogs &silentDialogs();

} // namespace platform
