// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls.h"
#include "dialogs.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <qdrawutil.h>

namespace platform {

QColor toQColor(Long colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

Long fromQColor(const QColor &colour)
{
    return RGB(colour.red(), colour.green(), colour.blue());
}

Label::Label(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFocusPolicy(Qt::NoFocus);
    setIndent(0);
    setMargin(0);
    setFrameStyle(QFrame::NoFrame);
    setTransparent(true);
}

// A label shows a few lines of a few hundred characters at most. A caption of megabytes (a record
// file that holds no record) is cut for display, with "…" where it is cut; laid out whole, it
// took seconds at every repaint. Caption() keeps every character.
constexpr qsizetype maxShownLines = 50;
constexpr qsizetype maxShownLineLength = 500;

QString Label::displayText(const QString &caption)
{
    QString shown;
    qsizetype start = 0;
    for (qsizetype line = 0;; ++line) {
        qsizetype end = caption.indexOf(u'\n', start);
        if (end < 0)
            end = caption.size();
        if (line > 0)
            shown += u'\n';
        if (line == maxShownLines) {
            if (start < caption.size())
                shown += u'…';
            break;
        }
        qsizetype length = 0;
        for (qsizetype i = start; i < end; ++i) {
            if (caption[i] == u'\r') // CR LF starts a line as LF does; a lone CR draws nothing
                continue;
            if (length == maxShownLineLength) {
                if (shown.back().isHighSurrogate())
                    shown.chop(1);
                shown += u'…';
                break;
            }
            shown += caption[i];
            ++length;
        }
        if (end == caption.size())
            break;
        start = end + 1;
    }
    return shown;
}

void Label::setCaption(const QString &caption)
{
    caption_ = caption;
    setText(displayText(caption));
    fitToCaption();
}

void Label::setAutoSize(bool on)
{
    autoSize_ = on;
    fitToCaption();
}

void Label::setBorder(bool on)
{
    border_ = on;
    const int b = on ? 1 : 0;
    setContentsMargins(b, b, b, b);
    fitToCaption();
}

void Label::setTransparent(bool on, const QColor &back)
{
    setAutoFillBackground(!on);
    if (!on) {
        QPalette p = palette();
        p.setColor(QPalette::Window, back);
        setPalette(p);
    }
}

void Label::fitToCaption()
{
    if (!autoSize_)
        return;
    const QPoint topLeft = pos();
    const QFontMetrics fm(font());
    // An empty caption keeps the width of one blank, as the designed sizes of the empty labels
    // show: lblTime stays a spot the mouse can rest on for its tooltip.
    const QStringList lines =
        text().isEmpty() ? QStringList{QStringLiteral(" ")} : text().split(u'\n');
    int width = 0;
    for (const QString &line : lines)
        width = std::max(width, fm.horizontalAdvance(line));
    const int frame = border_ ? 2 : 0;
    const int height = fm.height() + int(lines.size() - 1) * fm.lineSpacing();
    resize(width + frame, height + frame);
    move(topLeft);
}

// A label that sizes itself follows a new font as it follows a new caption.
void Label::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToCaption();
}

void Label::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!border_)
        return;
    // The window-frame colour, black, as a fixed single border has it; a QFrame box would take
    // the text colour instead.
    QPainter p(this);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

TextBox::TextBox(QWidget *parent) : QLineEdit(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

bool TextBox::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress && !reentry_) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isMenuKey(key)) {
            // Alt with a letter is a menu or access key, never typing: an access key whose
            // button is disabled must not slip its letter past the KeyPress handler.
            key->ignore();
            return true;
        }
        if (keyPress_ && filterKey(key))
            return true;
    }
    return QLineEdit::event(event);
}

// Alt without Ctrl (Ctrl+Alt is AltGr on some keyboards, which types characters).
bool TextBox::isMenuKey(const QKeyEvent *key)
{
    const Qt::KeyboardModifiers mods = key->modifiers();
    return (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty() &&
           key->text().at(0).isPrint();
}

// Returns true when the key was consumed here.
bool TextBox::filterKey(QKeyEvent *key)
{
    const QString typed = key->text();
    if (typed.size() != 1 || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    if (key->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
        return false;
    const char16_t original = typed.at(0).unicode();
    // A character beyond the Integer range cannot be a KeyAscii; the handler sees it as 0xFFFF.
    auto code = Integer(original > 0x7FFF ? -1 : original);
    keyPress_(code);
    if (code == 0 || code == 13)
        return true;
    if (code != Integer(original > 0x7FFF ? -1 : original)) {
        QKeyEvent replaced(QEvent::KeyPress, 0, key->modifiers(),
                           QString(QChar(char16_t(std::uint16_t(code)))));
        reentry_ = true;
        QLineEdit::event(&replaced);
        reentry_ = false;
        return true;
    }
    return false;
}

CommandButton::CommandButton(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setAutoRaise(false);
    // The classic raised edge and grey caption of a disabled button, readable on any face.
    QPalette p = palette();
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(227, 227, 227));
    p.setColor(QPalette::Dark, QColor(128, 128, 128));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
    setPalette(p);
    connect(this, &QToolButton::pressed, this, &CommandButton::showPicture);
    connect(this, &QToolButton::released, this, &CommandButton::showPicture);
}

void CommandButton::setPictures(const QPixmap &normal, const QPixmap &down, const QPixmap &disabled)
{
    normal_ = normal;
    down_ = down.isNull() ? normal : down;
    disabled_ = disabled.isNull() ? normal : disabled;
    if (!normal_.isNull())
        setIconSize(normal_.size());
    showPicture();
}

void CommandButton::showPicture()
{
    if (normal_.isNull())
        return;
    QIcon icon;
    icon.addPixmap(isDown() ? down_ : normal_, QIcon::Normal);
    icon.addPixmap(isDown() ? down_ : normal_, QIcon::Active);
    icon.addPixmap(disabled_, QIcon::Disabled);
    setIcon(icon);
}

void CommandButton::setBackColor(const QColor &colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::Window, colour);
    setPalette(p);
    setAutoFillBackground(true);
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        return;
    }
    QToolButton::keyPressEvent(event);
}

// The face is the button's own colour, flat, inside the classic raised edge: a style's gradient
// would lighten it away from the colour the window was designed with.
void CommandButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const QBrush face = palette().brush(QPalette::Button);
    qDrawWinButton(&painter, rect(), palette(), isDown(), &face);
    option.state &= ~(QStyle::State_MouseOver | QStyle::State_AutoRaise);
    painter.drawControl(QStyle::CE_ToolButtonLabel, option);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        focus.backgroundColor = face.color();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

Image::Image(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void Image::setPicture(const QPixmap &picture)
{
    picture_ = picture;
    update();
}

void Image::setStretch(bool on)
{
    stretch_ = on;
    update();
}

void Image::paintEvent(QPaintEvent *event)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    // Only the exposed piece is drawn: the clock's tick and the caret's blink repaint small
    // pieces of the background every second.
    if (!stretch_ || picture_.size() == size()) {
        p.drawPixmap(event->rect(), picture_, event->rect());
        return;
    }
    p.setClipRect(event->rect());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), picture_);
}

Timer::Timer(QObject *parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::fire);
}

void Timer::setEnabled(bool on)
{
    enabled_ = on;
    if (on && timer_.interval() > 0)
        timer_.start();
    else
        timer_.stop();
}

void Timer::setInterval(int milliseconds)
{
    timer_.setInterval(milliseconds);
    setEnabled(enabled_);
}

void Timer::fire()
{
    if (ModalGate::instance().depth() > 0)
        return;
    emit Tick();
}

QCursor iconPointer()
{
    QPixmap shape(32, 32);
    shape.fill(Qt::transparent);
    QPainter p(&shape);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(8, 8, 15, 15);
    p.drawRect(13, 13, 5, 5);
    p.end();
    return QCursor(shape, 16, 16);
}

} // namespace platform
