// SPDX-License-Identifier: GPL-3.0-or-later
#include "numberpad.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace platform {

namespace {

// Keys a child's finger finds: 64 by 56 pixels, well above the 48 a touch target needs, in the
// answer box's cyan and its bold face.
const char *padLook = "QPushButton { background: #00ffff; color: black; border: 2px outset #808080;"
                      " font: bold 24px; min-width: 64px; min-height: 56px; }"
                      "QPushButton:pressed { border-style: inset; }";

} // namespace

NumberPad::NumberPad(QWidget *beside, QWidget *target)
    : QWidget(beside, Qt::Tool | Qt::WindowDoesNotAcceptFocus), beside_(beside), target_(target)
{
    setWindowTitle(QStringLiteral("Tastierino"));
    setAccessibleName(QStringLiteral("Tastierino numerico"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setStyleSheet(QString::fromLatin1(padLook));
    // The window manager places the game's window after it shows, and a child may move it: the
    // pad follows.
    if (beside)
        beside->installEventFilter(this);
    auto *grid = new QGridLayout(this);
    grid->setSpacing(6);
    for (int digit = 1; digit <= 9; ++digit) {
        const QString face = QString::number(digit);
        addKey(face, face, Qt::Key_0 + digit, face, 2 - (digit - 1) / 3, (digit - 1) % 3);
    }
    addKey(QStringLiteral("-"), QStringLiteral("meno"), Qt::Key_Minus, QStringLiteral("-"), 3, 0);
    addKey(QStringLiteral("0"), QStringLiteral("0"), Qt::Key_0, QStringLiteral("0"), 3, 1);
    addKey(QStringLiteral("⌫"), QStringLiteral("cancella"), Qt::Key_Backspace, QStringLiteral("\b"),
           3, 2);
    addKey(QStringLiteral("Invio"), QStringLiteral("Invio"), Qt::Key_Return, QStringLiteral("\r"),
           4, 0, 3);
}

void NumberPad::addKey(const QString &face, const QString &spoken, int key, const QString &text,
                       int row, int column, int columnSpan)
{
    auto *button = new QPushButton(face, this);
    button->setAccessibleName(spoken);
    // The keys go on to the box: the pad never takes them, nor the focus.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, key, text] { press(key, text); });
    static_cast<QGridLayout *>(layout())->addWidget(button, row, column, 1, columnSpan);
}

void NumberPad::press(int key, const QString &text)
{
    if (!target_ || !target_->isEnabled())
        return;
    if (beside_)
        beside_->activateWindow();
    target_->setFocus(Qt::OtherFocusReason);
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target_, &event);
    }
}

bool NumberPad::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == beside_ && isVisible() &&
        (type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowStateChange))
        move(placeBeside());
    return false;
}

// A window manager that activates the pad all the same would leave the keyboard's keys with it:
// the game's window takes them back.
bool NumberPad::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && beside_)
        beside_->activateWindow();
    // The frame is known only once the window manager has put it around the shown pad.
    const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize;
    if (placed && frameGeometry().size() != frame_) {
        frame_ = frameGeometry().size();
        emit frameChanged();
    }
    return QWidget::event(event);
}

void NumberPad::open()
{
    // Shown first: a window manager places a new window where it likes, then follows a move.
    adjustSize();
    show();
    if (beside_)
        move(placeBeside());
}

QPoint NumberPad::placeBeside() const
{
    const QRect window = beside_->frameGeometry();
    const QRect room = beside_->screen()->availableGeometry();
    const QSize pad = frameGeometry().size();
    // The room's right and bottom are its last pixels: the pad ends there, beside the design.
    const QPoint end = room.bottomRight() + QPoint(1, 1);
    QPoint at;
    if (beside_->isFullScreen() && room.height() > room.width())
        at = {room.center().x() - pad.width() / 2, end.y() - pad.height()};
    else if (beside_->isFullScreen()) // the window left room at its right
        at = {end.x() - pad.width(), room.center().y() - pad.height() / 2};
    else if (room.height() > room.width())
        at = {window.left(), window.bottom() + 1};
    else if (window.right() + pad.width() < room.right())
        at = {window.right() + 1, window.top()};
    else
        at = {window.left() - pad.width(), window.top()};
    return {std::max(at.x(), room.left()), std::min(at.y(), end.y() - pad.height())};
}

namespace {

class FirstTouch : public QObject {
public:
    FirstTouch(QObject *owner, std::function<void()> first)
        : QObject(owner), first_(std::move(first))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::TouchBegin) {
            qApp->removeEventFilter(this);
            deleteLater();
            first_();
        }
        return false;
    }

private:
    std::function<void()> first_;
};

} // namespace

void onFirstTouch(QObject *owner, const std::function<void()> &first)
{
    new FirstTouch(owner, first);
}

} // namespace platform
