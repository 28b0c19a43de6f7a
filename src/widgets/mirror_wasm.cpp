// SPDX-License-Identifier: GPL-3.0-or-later
// A page's canvas holds pixels only, and Qt 6.4 for WebAssembly speaks to no screen reader: the
// page keeps a small accessible copy of the game beside the canvas (web/mirror.js). It is fed
// from the accessibility events the desktop sends its screen reader, so it reads the same texts:
// the control that has the focus with its name and description (the answer box is named with the
// question), the readings of the window's labels (counters, time, record), the box on screen with
// its text and buttons, the menu open with its items.
#include "mirror.h"
#include "timer.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <emscripten.h>
#include <emscripten/val.h>

#include <utility>

namespace platform {

namespace {

EM_JS(void, vorandi_mirror, (const char *json), {
    if (typeof window == 'object' && window.vorandiMirror)
        window.vorandiMirror(JSON.parse(UTF8ToString(json)));
});

struct Mirror {
    QAccessible::Id focus = 0; // the accessible object with the focus (a menu's item, say)
    bool announce = false;
    bool scheduled = false;
    QString notice; // what the window's announcer said since the page was last told
};

Mirror &mirror()
{
    static Mirror m;
    return m;
}

QAccessibleInterface *focused()
{
    QAccessibleInterface *face =
        mirror().focus ? QAccessible::accessibleInterface(mirror().focus) : nullptr;
    return face && face->isValid() ? face : nullptr;
}

QString role(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::EditableText:
        return QStringLiteral("textbox");
    case QAccessible::Button:
        return QStringLiteral("button");
    case QAccessible::MenuItem:
        return QStringLiteral("menuitem");
    case QAccessible::CheckBox:
        return QStringLiteral("checkbox");
    default:
        return QStringLiteral("note");
    }
}

QJsonObject focusDescribed()
{
    QAccessibleInterface *face = focused();
    if (!face)
        return {};
    QString name = face->text(QAccessible::Name);
    // A box's unnamed text field: the box's question names it, as a screen reader reads it.
    if (name.isEmpty() && face->role() == QAccessible::EditableText) {
        if (QWidget *box = QApplication::activeModalWidget()) {
            for (const QLabel *label : box->findChildren<QLabel *>()) {
                if (label->isVisible() && !label->text().isEmpty())
                    name = label->text();
            }
        }
    }
    return {{QStringLiteral("role"), role(face->role())},
            {QStringLiteral("name"), name},
            {QStringLiteral("description"), face->text(QAccessible::Description)}};
}

// The labels' readings of the game's window, by the label's name, as a screen reader reads them.
QJsonArray readings()
{
    QJsonArray list;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!qobject_cast<QMainWindow *>(top) || !top->isVisible())
            continue;
        for (QLabel *label : top->findChildren<QLabel *>()) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(label);
            const QString text = face ? face->text(QAccessible::Name).trimmed() : QString();
            if (label->isVisible() && !text.isEmpty())
                list.append(QJsonObject{{QStringLiteral("id"), label->objectName()},
                                        {QStringLiteral("text"), text}});
        }
    }
    return list;
}

// The box on screen: its title, texts and buttons; an alert when it asks or warns.
QJsonObject boxDescribed()
{
    QWidget *box = QApplication::activeModalWidget();
    if (!box)
        return {};
    QJsonArray texts;
    for (const QLabel *label : box->findChildren<QLabel *>()) {
        if (label->isVisible() && !label->text().isEmpty())
            texts.append(label->text());
    }
    QJsonArray buttons;
    for (const QAbstractButton *button : box->findChildren<QAbstractButton *>()) {
        if (button->isVisible())
            buttons.append(button->text().remove(u'&'));
    }
    const auto *message = qobject_cast<QMessageBox *>(box);
    const bool alert = message && message->icon() != QMessageBox::NoIcon &&
                       message->icon() != QMessageBox::Information;
    return {{QStringLiteral("role"), alert ? "alertdialog" : "dialog"},
            {QStringLiteral("title"), box->windowTitle()},
            {QStringLiteral("texts"), texts},
            {QStringLiteral("buttons"), buttons}};
}

// The menu the focus is in, with its items; none when the focus is elsewhere.
QJsonObject menuDescribed()
{
    QAccessibleInterface *item = focused();
    QAccessibleInterface *parent = item ? item->parent() : nullptr;
    if (!parent || item->role() != QAccessible::MenuItem)
        return {};
    auto *menu = qobject_cast<QWidget *>(parent->object());
    if (!qobject_cast<QMenu *>(menu) && !qobject_cast<QMenuBar *>(menu))
        return {};
    QJsonArray items;
    for (const QAction *action : menu->actions()) {
        if (action->isVisible() && !action->isSeparator())
            items.append(action->text().remove(u'&'));
    }
    return {{QStringLiteral("role"), qobject_cast<QMenuBar *>(menu) ? "menubar" : "menu"},
            {QStringLiteral("name"), menu->accessibleName()},
            {QStringLiteral("items"), items},
            {QStringLiteral("current"), parent->indexOfChild(item)}};
}

void publish()
{
    Mirror &m = mirror();
    m.scheduled = false;
    const QJsonObject state{{QStringLiteral("focus"), focusDescribed()},
                            {QStringLiteral("announce"), m.announce},
                            {QStringLiteral("notice"), std::exchange(m.notice, QString())},
                            {QStringLiteral("readings"), readings()},
                            {QStringLiteral("box"), boxDescribed()},
                            {QStringLiteral("menu"), menuDescribed()}};
    m.announce = false;
    vorandi_mirror(QJsonDocument(state).toJson(QJsonDocument::Compact).constData());
}

// Many events come together (a new question changes several labels): the page is told once,
// when the program is idle again.
void schedulePublish()
{
    if (std::exchange(mirror().scheduled, true))
        return;
    QTimer::singleShot(0, qApp, publish);
}

bool aboutFocus(QAccessibleEvent *event)
{
    QAccessibleInterface *face = event->accessibleInterface();
    return face && QAccessible::uniqueId(face) == mirror().focus;
}

void followEvent(QAccessibleEvent *event)
{
    Mirror &m = mirror();
    switch (event->type()) {
    case QAccessible::Focus:
        if (QAccessibleInterface *face = event->accessibleInterface()) {
            m.focus = QAccessible::uniqueId(face);
            m.announce = true;
        }
        break;
    case QAccessible::ObjectShow:
        // A reading of the time or the record, or the next question: said whatever has the focus.
        if (QAccessibleInterface *face = event->accessibleInterface();
            face && face->role() == QAccessible::Notification)
            m.notice = face->text(QAccessible::Name);
        break;
    case QAccessible::NameChanged:
    case QAccessible::DescriptionChanged:
        // The control with the focus has new words to say (the answer box's next question).
        if (aboutFocus(event))
            m.announce = true;
        break;
    default:
        break;
    }
    schedulePublish();
}

} // namespace

// Qt's page platform has no screen reader bridge, so no accessibility event would be made: the
// page's mirror is the bridge.
void startScreenReaderMirror()
{
    QAccessible::installUpdateHandler(followEvent);
    if (QPlatformAccessibility *access =
            QGuiApplicationPrivate::platformIntegration()->accessibility())
        access->setActive(true);
    // The clock's readings change with no event a screen reader would be told of.
    onTimerWokeUp(schedulePublish);
}

} // namespace platform

// A button of the mirror's box pressed (a screen reader's activation): the box's button of the
// same place is clicked, from the event loop.
extern "C" EMSCRIPTEN_KEEPALIVE void vorandi_mirror_press(int index)
{
    QTimer::singleShot(0, qApp, [index] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        QList<QAbstractButton *> buttons;
        for (QAbstractButton *button : box->findChildren<QAbstractButton *>()) {
            if (button->isVisible())
                buttons.append(button);
        }
        if (index >= 0 && index < buttons.size())
            buttons[index]->click();
    });
}

// Text that came with no key of its own (an input method, a touch keyboard): typed into the
// control with the focus one character at a time, as keys with that text, so the answer box's
// check sees each as it would from the keyboard. It is typed at once, not from the event loop:
// the browser runs input before timers, so an Enter pressed right after would overtake it.
extern "C" EMSCRIPTEN_KEEPALIVE void vorandi_type_text()
{
    const QString text = QString::fromStdString(
        emscripten::val::module_property("vorandiTypedText").as<std::string>());
    for (const QChar ch : text) {
        // A box just opened may not have given its field the focus yet: the field is meant.
        QWidget *focus = QApplication::focusWidget();
        if (QWidget *box = QApplication::activeModalWidget(); !focus && box)
            focus = box->findChild<QLineEdit *>();
        if (!focus)
            return;
        const int key = ch.isLetterOrNumber() && ch.unicode() < 128 ? ch.toUpper().unicode()
                                                                    : int(Qt::Key_unknown);
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(focus, &event);
        }
    }
}
