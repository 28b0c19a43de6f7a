// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader hears of the window: names and descriptions made from the captions shown.
#pragma once

#include <QAccessible>
#include <QHash>
#include <QString>
#include <QWidget>

class QObject;

namespace platform {

// While one is alive, no accessibility event leaves the program: a change made meanwhile is
// there to be read, but is not announced.
class QuietAccessibility {
public:
    QuietAccessibility();
    ~QuietAccessibility();
    Q_DISABLE_COPY(QuietAccessibility)
};

// Keeps a window and everything in it from announcing anything to screen readers until it is
// first shown. A screen reader that hears of an object reads and keeps its states; one heard of
// while its window was still hidden stays "not visible" for good, because a window shown later
// tells only that it is showing.
void silenceUntilShown(QWidget *window);
// The window is about to be shown: from now on it speaks as any other.
void endSilence(QWidget *window);

// The text of a pattern in which "{name}" stands for the caption of the label of that name, on
// one line and without doubled blanks; what an empty caption leaves at either end (". ", ", ")
// goes.
QString spokenText(const QString &pattern, const QHash<QString, QObject *> &controls);

// Keeps the target's accessible name and description made from their patterns, re-made whenever
// one of the labels they name changes its caption. A quiet target changes without announcing it.
void bindSpokenText(QWidget *target, const QString &namePattern, const QString &descriptionPattern,
                    bool quiet, const QHash<QString, QObject *> &controls);

// What a window has a screen reader say now, whatever has the focus, which stays where it is:
// the keys go on to the control that had them, and its caret and focus mark stay on screen. A
// notification, the one kind of object a screen reader speaks as soon as it shows; it takes no
// room, focus or click.
class Announcer : public QWidget {
    Q_OBJECT
public:
    explicit Announcer(QWidget *window);
    void say(const QString &text);

signals:
    void said(const QString &text);
};

// The window's announcer, made at its first use.
Announcer *announcerOf(QWidget *window);
// Has the announcer of the widget's window say the text.
void announce(QWidget *inWindow, const QString &text);

} // namespace platform
