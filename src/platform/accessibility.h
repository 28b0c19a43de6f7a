// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader hears of the window: names and descriptions made from the captions shown.
#pragma once

#include <QAccessible>
#include <QHash>
#include <QString>

class QObject;
class QWidget;

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

// Has a screen reader read the control now (a label, say) without changing the window: the
// control holds the focus until the next key, which goes, with the focus, back to the control
// that had it. Nothing happens while no control of the control's window has the focus.
void sayThroughFocus(QWidget *reader);
// The control's focus is lent for a screen reader: on screen it keeps its focus mark.
bool focusOnLoan(const QWidget *control);

} // namespace platform
