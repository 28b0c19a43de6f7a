// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls.h"
#include "accessibility.h"
#include "dialogs.h"

#include <QApplication>
#include <QBitmap>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
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

void Label::setCaption(const QString &caption, const QString &spoken)
{
    caption_ = caption;
    {
        std::optional<QuietAccessibility> silence;
        if (quiet_)
            silence.emplace();
        if (spoken != spoken_)
            setAccessibleName(spoken); // empty: the text shown
        spoken_ = spoken;
        setText(displayText(caption));
    }
    fitToCaption();
    emit captionChanged();
}

QString Label::spokenCaption() const
{
    return spoken_.isEmpty() ? displayText(caption_) : spoken_;
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
    // A drop would put text in the box past the handler.
    setAcceptDrops(false);
}

void TextBox::setText(const QString &text)
{
    // A box changed while the focus is elsewhere tells nobody: a screen reader that heard of the
    // change would take the box for the focus and stay silent when the focus really comes.
    std::optional<QuietAccessibility> silence;
    if (!hasFocus())
        silence.emplace();
    QLineEdit::setText(text);
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
        if (keyPress_ && !isReadOnly() && key->matches(QKeySequence::Paste)) {
            pasteFiltered(QClipboard::Clipboard);
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

namespace {

// The character codes that the handler sees: printable characters, Backspace and Enter. Delete
// (127), Escape and the Ctrl letters are editing keys and shortcuts of the box itself.
bool isTypedCode(char16_t code)
{
    return code == 8 || code == 13 || (code >= 32 && code != 127);
}

// A character beyond the Integer range cannot be a KeyAscii; the handler sees it as 0xFFFF.
Integer keyAscii(char16_t c)
{
    return Integer(c > 0x7FFF ? -1 : c);
}

QChar fromKeyAscii(Integer code)
{
    return QChar(char16_t(std::uint16_t(code)));
}

// The key's character as the desktop platforms give it: the browser's leaves Enter's text empty.
QString typedText(const QKeyEvent *key)
{
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    return enter && key->text().isEmpty() ? QStringLiteral("\r") : key->text();
}

} // namespace

// Returns true when the key was consumed here.
bool TextBox::filterKey(QKeyEvent *key)
{
    const QString typed = typedText(key);
    if (typed.isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    if (typed.size() > 1) {
        // Several characters from one key (a surrogate pair, a keyboard macro) pass one by one.
        insert(filtered(typed));
        return true;
    }
    const char16_t original = typed.at(0).unicode();
    if (!isTypedCode(original))
        return false;
    const Qt::KeyboardModifiers mods = key->modifiers();
    if (original >= 32 && (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier))
        return false; // a Ctrl shortcut: the box types nothing for it
    Integer code = keyAscii(original);
    keyPress_(code);
    if (code == 0)
        emit keyRefused();
    if (code == 0 || code == 13)
        return true;
    if (code != 8 && maxLength() > 0 && text().size() >= maxLength() && !hasSelectedText())
        emit keyRefused();
    if (code != keyAscii(original)) {
        QKeyEvent replaced(QEvent::KeyPress, 0, mods, QString(fromKeyAscii(code)));
        reentry_ = true;
        QLineEdit::event(&replaced);
        reentry_ = false;
        return true;
    }
    return false;
}

QString TextBox::filtered(const QString &text)
{
    QString kept;
    for (QChar c : text) {
        // Line breaks and other controls in pasted or composed text are no keys: Enter in
        // pasted text must not score an answer.
        if (!c.isPrint() && !c.isSurrogate())
            continue;
        Integer code = keyAscii(c.unicode());
        if (keyPress_)
            keyPress_(code);
        if (code != 0 && code != 13 && code != 8 && isTypedCode(char16_t(std::uint16_t(code))))
            kept += fromKeyAscii(code);
    }
    return kept;
}

// Composed text goes through the handler as typed keys do; what is still being composed is not
// shown, since only what passes the handler may appear in the box.
void TextBox::inputMethodEvent(QInputMethodEvent *event)
{
    if (!keyPress_) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent passed;
    passed.setCommitString(filtered(event->commitString()), event->replacementStart(),
                           event->replacementLength());
    QLineEdit::inputMethodEvent(&passed);
    event->accept();
}

void TextBox::pasteFiltered(QClipboard::Mode mode)
{
    const QString text = QGuiApplication::clipboard()->text(mode);
    if (!text.isEmpty())
        insert(filtered(text));
}

// The menu's own Paste would put any text in the box; this one passes the handler.
void TextBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (auto *paste = menu->findChild<QAction *>(QStringLiteral("edit-paste"));
        paste && keyPress_) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this] { pasteFiltered(QClipboard::Clipboard); });
    }
    menu->popup(event->globalPos());
}

// The middle button pastes the selection on X11; through the handler here too.
void TextBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton && keyPress_ &&
        QGuiApplication::clipboard()->supportsSelection()) {
        if (!isReadOnly())
            pasteFiltered(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
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
    pictures_ = {normal, down.isNull() ? normal : down, disabled.isNull() ? normal : disabled};
    if (!normal.isNull())
        setIconSize(normal.size());
    showPicture();
}

void CommandButton::showPicture()
{
    if (pictures_.normal.isNull())
        return;
    const QPixmap &face = isDown() ? pictures_.down : pictures_.normal;
    QIcon icon;
    icon.addPixmap(face, QIcon::Normal);
    icon.addPixmap(face, QIcon::Active);
    icon.addPixmap(pictures_.disabled, QIcon::Disabled);
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
        // The dotted focus mark is drawn whatever moved the focus here: the style draws one
        // only once Tab has been used, and after an answer the focus comes by itself. Two pixels
        // wide, so that a child who sees little finds it too.
        const QPen dots(qGray(face.color().rgb()) > 128 ? Qt::black : Qt::white, 2, Qt::DotLine);
        painter.setPen(dots);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(4, 4, -5, -5));
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
