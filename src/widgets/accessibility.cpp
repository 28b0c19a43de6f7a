// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibility.h"
#include "controls.h"
#include "textaccess.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QRegularExpression>
#include <QSet>

#include <optional>

namespace platform {

namespace {

const QRegularExpression &placeholder()
{
    static const QRegularExpression re(QStringLiteral("\\{(\\w+)\\}"));
    return re;
}

// One filter stands between the program and the accessibility bridge for good: quiet scopes and
// windows not yet shown are counted here, so no order of opening and closing them can leave a
// handler of the wrong one in place.
int quietScopes = 0;

QSet<const QObject *> &unshownWindows()
{
    static QSet<const QObject *> windows;
    return windows;
}

QAccessible::UpdateHandler passedOn = nullptr;

const QObject *windowOf(QObject *object)
{
    if (auto *widget = qobject_cast<QWidget *>(object))
        return widget->window();
    if (auto *action = qobject_cast<QAction *>(object))
        return action->parent() ? windowOf(action->parent()) : nullptr;
    return nullptr;
}

void filterEvent(QAccessibleEvent *event)
{
    if (quietScopes > 0 || unshownWindows().contains(windowOf(event->object())))
        return;
    // The event goes its usual way: to the handler found when this one came, or to the bridge.
    QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(passedOn);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(self);
}

void installFilter()
{
    static const bool installed = [] {
        passedOn = QAccessible::installUpdateHandler(filterEvent);
        answerTextQueriesSoundly();
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

QuietAccessibility::QuietAccessibility()
{
    installFilter();
    ++quietScopes;
}

QuietAccessibility::~QuietAccessibility()
{
    --quietScopes;
}

void silenceUntilShown(QWidget *window)
{
    installFilter();
    unshownWindows().insert(window);
    QObject::connect(window, &QObject::destroyed, [window] { endSilence(window); });
}

void endSilence(QWidget *window)
{
    unshownWindows().remove(window);
}

QString spokenText(const QString &pattern, const QHash<QString, QObject *> &controls)
{
    QString text;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &m : placeholder().globalMatch(pattern)) {
        text += pattern.mid(from, m.capturedStart() - from);
        if (auto *label = qobject_cast<Label *>(controls.value(m.captured(1))))
            text += label->spokenCaption().simplified();
        from = m.capturedEnd();
    }
    text += pattern.mid(from);
    // What an empty caption leaves: punctuation at either end, a point after "!!!".
    static const QRegularExpression loose(QStringLiteral("^[\\s.,:;]+|[\\s,:;]+$"));
    static const QRegularExpression doubled(QStringLiteral("([.!?])\\.(?=\\s|$)"));
    return text.simplified().remove(loose).replace(doubled, QStringLiteral("\\1"));
}

namespace {

void applySpokenText(QWidget *target, const QString &namePattern, const QString &descriptionPattern,
                     bool quiet, const QHash<QString, QObject *> &controls)
{
    std::optional<QuietAccessibility> silence;
    if (quiet)
        silence.emplace();
    if (!namePattern.isEmpty()) {
        const QString name = spokenText(namePattern, controls);
        if (name != target->accessibleName())
            target->setAccessibleName(name);
    }
    if (!descriptionPattern.isEmpty()) {
        const QString description = spokenText(descriptionPattern, controls);
        if (description != target->accessibleDescription())
            target->setAccessibleDescription(description);
    }
}

} // namespace

namespace {

QAccessibleInterface *announcers(const QString &, QObject *object)
{
    auto *announcer = qobject_cast<Announcer *>(object);
    return announcer ? new QAccessibleWidget(announcer, QAccessible::Notification) : nullptr;
}

} // namespace

Announcer::Announcer(QWidget *window) : QWidget(window)
{
    static const bool installed = [] {
        QAccessible::installFactory(announcers);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
    show();
}

void Announcer::say(const QString &text)
{
    if (text.isEmpty())
        return;
    {
        const QuietAccessibility quiet;
        setAccessibleName(text);
    }
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    emit said(text);
}

Announcer *announcerOf(QWidget *window)
{
    auto *found = window->findChild<Announcer *>(QString(), Qt::FindDirectChildrenOnly);
    return found ? found : new Announcer(window);
}

void announce(QWidget *inWindow, const QString &text)
{
    if (inWindow)
        announcerOf(inWindow->window())->say(text);
}

void bindSpokenText(QWidget *target, const QString &namePattern, const QString &descriptionPattern,
                    bool quiet, const QHash<QString, QObject *> &controls)
{
    auto apply = [=] { applySpokenText(target, namePattern, descriptionPattern, quiet, controls); };
    apply();
    for (const QString &pattern : {namePattern, descriptionPattern}) {
        for (const QRegularExpressionMatch &m : placeholder().globalMatch(pattern)) {
            if (auto *label = qobject_cast<Label *>(controls.value(m.captured(1))))
                QObject::connect(label, &Label::captionChanged, target, apply);
        }
    }
}

} // namespace platform
