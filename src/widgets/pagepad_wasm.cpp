// SPDX-License-Identifier: GPL-3.0-or-later
// In a browser the number pad is made of the page's own buttons (web/numberpad.js): a second
// window of Qt 6.4's page platform answers only the first press on it, a page's buttons take
// taps as any page does, and a screen reader or a switch device finds them by their names. The
// program's pad still decides where the pad goes and what each key does: it stays out of sight,
// the page draws its keys where it placed them, and a key pressed there clicks the same key of
// the program's pad.
#include "mirror.h"
#include "numberpad.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>

#include <emscripten.h>

namespace platform {

namespace {

EM_JS(void, vorandi_number_pad, (const char *json), {
    if (typeof window == 'object' && window.vorandiNumberPad)
        window.vorandiNumberPad(JSON.parse(UTF8ToString(json)));
});

QPointer<NumberPad> &shownPad()
{
    static QPointer<NumberPad> pad;
    return pad;
}

QList<QAbstractButton *> keysOf(const NumberPad &pad)
{
    return pad.findChildren<QAbstractButton *>();
}

QJsonArray place(const QRect &r)
{
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

// The pad's place on the page and each key's face, name and place in it; nothing once it hides.
void tellPage(const NumberPad &pad, bool shown)
{
    QJsonObject described;
    if (shown) {
        QJsonArray keys;
        for (const QAbstractButton *key : keysOf(pad))
            keys.append(QJsonObject{{QStringLiteral("face"), key->text()},
                                    {QStringLiteral("name"), key->accessibleName()},
                                    {QStringLiteral("place"), place(key->geometry())}});
        described = {{QStringLiteral("place"), place(pad.geometry())},
                     {QStringLiteral("keys"), keys}};
    }
    vorandi_number_pad(QJsonDocument(described).toJson(QJsonDocument::Compact).constData());
}

class PadInPage : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        const bool watchedKind = type == QEvent::Show || type == QEvent::Move ||
                                 type == QEvent::Resize || type == QEvent::Hide;
        auto *pad = watchedKind ? qobject_cast<NumberPad *>(watched) : nullptr;
        if (!pad)
            return false;
        switch (type) {
        case QEvent::Show:
            // Sent before the window goes on the screen: it never does.
            pad->setAttribute(Qt::WA_DontShowOnScreen);
            if (shownPad() != pad) // it goes with its window, at a new game, with no event
                connect(pad, &QObject::destroyed, this, [] { vorandi_number_pad("{}"); });
            shownPad() = pad;
            tellPage(*pad, true);
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Hide:
            tellPage(*pad, pad->isVisible());
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

void showNumberPadInPage()
{
    qApp->installEventFilter(new PadInPage);
}

} // namespace platform

// A key of the page's pad pressed: the program's pad's key of the same place is clicked, from the
// event loop, as a tap on it would. A box that is open keeps it from the game, as it keeps the
// desktop's pad window.
extern "C" EMSCRIPTEN_KEEPALIVE void vorandi_number_pad_press(int index)
{
    QTimer::singleShot(0, qApp, [index] {
        if (QApplication::activeModalWidget())
            return;
        platform::NumberPad *pad = platform::shownPad();
        const QList<QAbstractButton *> keys =
            pad ? platform::keysOf(*pad) : QList<QAbstractButton *>();
        if (index >= 0 && index < keys.size())
            keys[index]->click();
    });
}
