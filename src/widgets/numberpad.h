// SPDX-License-Identifier: GPL-3.0-or-later
// A number pad for touch screens without a keyboard: its keys type into a box as the keyboard's
// own keys do.
#pragma once

#include <QPointer>
#include <QWidget>

namespace platform {

// A small window of its own beside the game's window (below it where the screen is taller than
// wide), never over it. It takes neither the focus nor the window's place: each key gives the
// focus to the target box and sends it the key the hardware would.
class NumberPad : public QWidget {
    Q_OBJECT
public:
    NumberPad(QWidget *beside, QWidget *target);

    // Shows the pad, placed beside its window.
    void open();

signals:
    // The window manager's frame around the pad came or changed: the room kept for it changes.
    void frameChanged();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addKey(const QString &face, const QString &spoken, int key, const QString &text, int row,
                int column, int columnSpan = 1);
    void press(int key, const QString &text);
    QPoint placeBeside() const;

    QPointer<QWidget> beside_;
    QPointer<QWidget> target_;
    QSize frame_;
};

// Calls `first` once, at the first touch on the screen the program gets (a touch, not a mouse
// click), in any of its windows.
void onFirstTouch(QObject *owner, const std::function<void()> &first);

} // namespace platform
