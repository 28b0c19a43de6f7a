// SPDX-License-Identifier: GPL-3.0-or-later
// The real message and input boxes, Qt's, and the count of the program's open boxes.
#pragma once

#include "platform/boxes.h"

#include <QObject>
#include <QString>

class QFontMetrics;
class QWidget;

namespace platform {

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

// Real boxes: plain text, Italian buttons, parented to the active window.
class QtDialogs : public DialogService {
public:
    int msgBox(const QString &prompt, int style, const QString &title) override;
    int spokenMsgBox(const QString &prompt, const QString &spoken, int style,
                     const QString &title) override;
    QString inputBox(const QString &prompt, const QString &title) override;
};

// The real boxes: stateless, one serves the whole program.
QtDialogs &qtDialogs();

// The prompt as a box shows it: in lines at most `width` pixels wide and at most `maxLines` of
// them. The box keeps the whole prompt for the caller; only the screen shows less.
QString shownPrompt(const QString &prompt, const QFontMetrics &fm, int width, int maxLines);

} // namespace platform
