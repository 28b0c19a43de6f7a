// SPDX-License-Identifier: GPL-3.0-or-later
// The control types of the window toolkit: Label, TextBox, CommandButton, Image (the Timer is in
// timer.h).
#pragma once

#include "platform/runtime.h"
#include "timer.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include <functional>

namespace platform {

QColor toQColor(Long colour);

// Static text. The caption is kept exactly as written; on screen CR LF or LF starts a new line
// and a lone CR draws nothing. Text is always plain, never markup.
class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget *parent = nullptr);

    QString Caption() const { return caption_; }
    // A spoken form, when given, is what a screen reader hears instead of the caption shown.
    void setCaption(const QString &caption, const QString &spoken = QString());
    QString spokenCaption() const;
    // Changes of the caption are not announced to screen readers (a clock): it is read on
    // request.
    void setQuiet(bool on) { quiet_ = on; }

    void setAutoSize(bool on);
    void setBorder(bool on);
    void setTransparent(bool on, const QColor &back = QColor());

    // What the label draws for a caption.
    static QString displayText(const QString &caption);

signals:
    void captionChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fitToCaption();

    QString caption_;
    QString spoken_;
    bool autoSize_ = false;
    bool border_ = false;
    bool quiet_ = false;
};

// Single-line edit field whose KeyPress handler sees each typed character first: keys, composed
// input (dead keys, input methods) and pasted text alike. Keys that type no character (Delete,
// Escape, Ctrl shortcuts) are the box's own editing keys and never reach the handler.
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    // KeyAscii by reference: 0 discards the key; 13 left as it is inserts nothing.
    using KeyPressHandler = std::function<void(Integer &keyAscii)>;

    explicit TextBox(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    void setText(const QString &text);
    void SetFocus() { setFocus(Qt::OtherFocusReason); }
    void setKeyPressHandler(KeyPressHandler handler) { keyPress_ = std::move(handler); }

signals:
    // A typed key went nowhere: the handler discarded it, or the box was full.
    void keyRefused();

protected:
    bool event(QEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool filterKey(class QKeyEvent *key);
    static bool isMenuKey(const QKeyEvent *key);
    // What is left of the text once each character has passed the KeyPress handler.
    QString filtered(const QString &text);
    void pasteFiltered(QClipboard::Mode mode);

    KeyPressHandler keyPress_;
    bool reentry_ = false;
};

// Push button; in graphical style a picture above the caption. Clicks on the mouse, on Enter or
// Space while focused, and on Alt with its access key while enabled.
class CommandButton : public QToolButton {
    Q_OBJECT
public:
    explicit CommandButton(QWidget *parent = nullptr);

    void SetFocus() { setFocus(Qt::OtherFocusReason); }
    void setPictures(const QPixmap &normal, const QPixmap &down, const QPixmap &disabled);
    void setBackColor(const QColor &colour);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The down and disabled faces are the normal one unless given.
    struct Pictures {
        QPixmap normal;
        QPixmap down;
        QPixmap disabled;
    };
    void showPicture();

    Pictures pictures_;
};

// A picture without a window of its own, at its natural size or stretched to the control.
class Image : public QWidget {
    Q_OBJECT
public:
    explicit Image(QWidget *parent = nullptr);
    void setPicture(const QPixmap &picture);
    QPixmap picture() const { return picture_; }
    void setStretch(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap picture_;
    bool stretch_ = false;
};

// The toolkit's "icon" pointer: a small square within a square.
QCursor iconPointer();

} // namespace platform
