// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibility.h"
#include "controls.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
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

constexpr const char *lentProperty = "vorandiFocusLent";

// The focus lent to a control that does not take it otherwise, while a screen reader reads it:
// the next key gives the focus back to the control that had it and goes on to it, as if the
// focus had never moved. Given back at once, the focus would make the screen reader cut the
// reading short to name that control again.
class FocusLoan : public QObject {
public:
    FocusLoan(QWidget *reader, QWidget *owner)
        : QObject(reader), reader_(reader), owner_(owner), policy_(reader->focusPolicy())
    {
        reader->installEventFilter(this);
        reader->setFocusPolicy(Qt::ClickFocus); // focusable, yet never on the Tab round
        owner->setProperty(lentProperty, true);
        reader->setFocus(Qt::OtherFocusReason);
    }

    QWidget *owner() const { return owner_; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut) {
            end();
            return false;
        }
        // The release of the key that lent the focus comes here too: only a press ends it.
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (isModifier(key->key()))
            return false;
        QPointer<QWidget> owner = owner_;
        end();
        if (owner && owner->isEnabled()) {
            owner->setFocus(Qt::OtherFocusReason);
            QKeyEvent again(key->type(), key->key(), key->modifiers(), key->text(),
                            key->isAutoRepeat(), ushort(key->count()));
            QCoreApplication::sendEvent(owner, &again);
        }
        return true;
    }

private:
    static bool isModifier(int key)
    {
        return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt ||
               key == Qt::Key_Meta || key == Qt::Key_AltGr;
    }

    void end()
    {
        if (owner_) {
            owner_->setProperty(lentProperty, QVariant());
            owner_->update();
        }
        reader_->removeEventFilter(this);
        reader_->setFocusPolicy(policy_);
        deleteLater();
    }

    QWidget *reader_;
    QPointer<QWidget> owner_;
    Qt::FocusPolicy policy_;
};

} // namespace

bool focusOnLoan(const QWidget *control)
{
    return control->property(lentProperty).toBool();
}

void sayThroughFocus(QWidget *reader)
{
    QWidget *focus = QApplication::focusWidget();
    if (!reader || !focus || focus->window() != reader->window() || focus == reader)
        return;
    // Lent already: the keys still belong to the control that lent it.
    for (QObject *child : focus->children()) {
        if (auto *loan = dynamic_cast<FocusLoan *>(child); loan && loan->owner())
            focus = loan->owner();
    }
    // A quiet control's name changes unannounced: a screen reader that keeps names would read
    // an old one.
    QAccessibleEvent changed(reader, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    new FocusLoan(reader, focus);
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
