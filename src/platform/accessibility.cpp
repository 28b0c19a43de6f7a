// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibility.h"
#include "controls.h"

#include <QRegularExpression>

#include <optional>

namespace platform {

namespace {

void dropEvent(QAccessibleEvent *) {}

const QRegularExpression &placeholder()
{
    static const QRegularExpression re(QStringLiteral("\\{(\\w+)\\}"));
    return re;
}

} // namespace

QuietAccessibility::QuietAccessibility() : previous_(QAccessible::installUpdateHandler(dropEvent))
{}

QuietAccessibility::~QuietAccessibility()
{
    QAccessible::installUpdateHandler(previous_);
}

QString spokenText(const QString &pattern, const QHash<QString, QObject *> &controls)
{
    QString text;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &m : placeholder().globalMatch(pattern)) {
        text += pattern.mid(from, m.capturedStart() - from);
        if (auto *label = qobject_cast<Label *>(controls.value(m.captured(1))))
            text += Label::displayText(label->Caption()).simplified();
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
