// SPDX-License-Identifier: GPL-3.0-or-later
// In a browser the page is the display: it is always there, and it has no terminal. The page
// also stands in for what the desktop gives a window: the fonts, and the minimized caption,
// which becomes the tab's title while the tab is hidden.
#include "dialogs.h"
#include "display.h"
#include "form.h"
#include "mirror.h"
#include "timer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include <emscripten.h>

#include <algorithm>

namespace platform {

bool displayAvailable()
{
    return true;
}

void useStartingTerminal() {}

bool commandsWaitForTheirEvent()
{
    return true;
}

namespace {

// The game's window: the page has one main window at a time.
QMainWindow *gameWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<QMainWindow *>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

EM_JS(void, vorandi_set_tab_title, (const char *title), { document.title = UTF8ToString(title); });

// A hidden tab is the page's minimized window: the window is told so (Qt's page platform keeps no
// such state itself), and its caption, the minutes left, becomes the tab's title.
void showTabHidden(bool hidden)
{
    QMainWindow *window = gameWindow();
    if (!window)
        return;
    const Qt::WindowStates state = window->windowState();
    window->setWindowState(hidden ? state | Qt::WindowMinimized : state & ~Qt::WindowMinimized);
    vorandi_set_tab_title(window->windowTitle().toUtf8().constData());
}

EM_JS(int, vorandi_tab_is_hidden, (), { return document.hidden ? 1 : 0; });

// The design's caption holds the minutes left when the window was minimized; a tab can stay
// hidden for many minutes, and its title follows the clock: after each wake-up of the clock the
// window is minimized anew, which writes the caption again.
void keepHiddenTitle()
{
    QMainWindow *window = gameWindow();
    if (!window || !vorandi_tab_is_hidden() || !(window->windowState() & Qt::WindowMinimized))
        return;
    showTabHidden(false);
    showTabHidden(true);
}

EM_JS(void, vorandi_watch_tab, (), {
    document.addEventListener(
        'visibilitychange', function() { Module['_vorandi_tab_hidden'](document.hidden ? 1 : 0); });
});

// The built-in faces, and the desktop's face for boxes and menus ("Sans Serif" at 9 points, which
// a Debian desktop shows in DejaVu Sans): Qt's page platform would take a 12-point face of its own.
// Every face is hinted as Debian's fontconfig asks the desktop to ("slight": vertical only); the
// window's controls take that from this font.
void loadPageFonts()
{
    for (const QString &font : QDir(QStringLiteral(":/webfonts")).entryList())
        QFontDatabase::addApplicationFont(QStringLiteral(":/webfonts/") + font);
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    QApplication::setFont(font);
}

// Qt's page event loop never waits while an object's deferred deletion is pending, and one asked
// for outside a box cannot be carried out inside the box's nested loop: the box would spin for
// ever and the page freeze. Such deletions are carried out before the box's loop starts.
void deleteLaterBeforeBoxes()
{
    QObject::connect(&ModalGate::instance(), &ModalGate::entered, qApp,
                     [] { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); });
}

// Qt's page platform gives the window under a closed box no keyboard back: the game's window is
// made the active one again, so that its focus widget takes the keys as on the desktop.
void activateAfterBoxes()
{
    QObject::connect(&ModalGate::instance(), &ModalGate::left, qApp, [] {
        if (ModalGate::instance().depth() > 0 || QApplication::activeModalWidget())
            return;
        if (QMainWindow *window = gameWindow(); window && !window->isActiveWindow())
            window->activateWindow();
    });
}

// Boxes and menus grow with the game's window as it fills the page, never below the desktop's
// size: a page of the design's size shows them as the desktop does. The window is made before its
// first box (the name asked) and shown after it; between two games there is none, and the boxes
// keep the size they had.
void scaleBoxesWithWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto form = std::find_if(windows.begin(), windows.end(), [](QWidget *w) {
        return qobject_cast<FormWindow *>(w) != nullptr;
    });
    if (form == windows.end())
        return;
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * std::max(1.0, static_cast<FormWindow *>(*form)->zoom()));
    for (const char *kind : {"QDialog", "QMenu"}) {
        if (QApplication::font(kind) != font)
            QApplication::setFont(font, kind);
    }
}

// Before each box, and once the window has taken a new shape of the page.
void keepBoxesScaled()
{
    QObject::connect(&ModalGate::instance(), &ModalGate::entered, qApp, scaleBoxesWithWindow);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        QObject::connect(screen, &QScreen::geometryChanged, qApp,
                         [] { QTimer::singleShot(0, qApp, scaleBoxesWithWindow); });
}

void preparePage()
{
    // Each repaint of a page's window uploads the whole window to the canvas again: a blinking
    // caret would cost two of them a second while a child thinks. The caret stands still.
    QApplication::setCursorFlashTime(0);
    loadPageFonts();
    deleteLaterBeforeBoxes();
    activateAfterBoxes();
    keepBoxesScaled();
    vorandi_watch_tab();
    onTimerWokeUp(keepHiddenTitle);
    startScreenReaderMirror();
    showNumberPadInPage();
}

QJsonArray rectangle(const QRect &r)
{
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

// Where the menu bar and its entries lie in the window, the entries by their captions: a finger
// finds them there.
void addMenuBarPlaces(const QWidget *widget, const QWidget &window, QJsonObject &places)
{
    const auto *bar = qobject_cast<const QMenuBar *>(widget);
    if (!bar || !bar->isVisible())
        return;
    places.insert(QStringLiteral("QMenuBar"),
                  rectangle(QRect(bar->mapTo(&window, QPoint(0, 0)), bar->size())));
    for (QAction *entry : bar->actions()) {
        const QRect at = bar->actionGeometry(entry);
        if (entry->isVisible() && !at.isEmpty())
            places.insert(entry->text().remove(u'&'),
                          rectangle(QRect(bar->mapTo(&window, at.topLeft()), at.size())));
    }
}

// What a window shows as text, by the name of the control (or its kind, for a box's own); where
// its client area lies on the page's canvas, and each of those controls in the window.
QJsonObject windowText(const QWidget &window)
{
    QJsonObject texts;
    QJsonObject places;
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        QString text;
        if (auto *label = qobject_cast<const QLabel *>(w))
            text = label->text();
        else if (auto *edit = qobject_cast<const QLineEdit *>(w))
            text = edit->text();
        else if (auto *button = qobject_cast<const QAbstractButton *>(w))
            text = button->text();
        else
            continue;
        const QString name = w->objectName().isEmpty()
                                 ? QString::fromLatin1(w->metaObject()->className())
                                 : w->objectName();
        const QString key =
            texts.contains(name) ? name + u'+' + QString::number(texts.size()) : name;
        texts.insert(key, text);
        places.insert(key, rectangle(QRect(w->mapTo(&window, QPoint(0, 0)), w->size())));
    }
    if (const auto *main = qobject_cast<const QMainWindow *>(&window))
        addMenuBarPlaces(main->menuWidget(), window, places);
    QJsonObject described{{QStringLiteral("title"), window.windowTitle()},
                          {QStringLiteral("texts"), texts},
                          {QStringLiteral("geometry"), rectangle(window.geometry())},
                          {QStringLiteral("places"), places}};
    if (QWidget *focus = QApplication::focusWidget(); focus && focus->window() == &window)
        described.insert(QStringLiteral("focus"), focus->objectName());
    return described;
}

EM_JS(void, vorandi_publish_screen, (const char *json),
      { Module.vorandiScreen = JSON.parse(UTF8ToString(json)); });

} // namespace

Q_COREAPP_STARTUP_FUNCTION(preparePage)

} // namespace platform

// The page's canvas holds pixels only: this describes its windows as text for the page (and the
// tests that drive it), the modal box first.
extern "C" EMSCRIPTEN_KEEPALIVE void vorandi_describe_screen()
{
    QJsonArray windows;
    QWidget *modal = QApplication::activeModalWidget();
    if (modal)
        windows.append(platform::windowText(*modal));
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget != modal)
            windows.append(platform::windowText(*widget));
    }
    platform::vorandi_publish_screen(QJsonDocument(windows).toJson(QJsonDocument::Compact));
}

extern "C" EMSCRIPTEN_KEEPALIVE void vorandi_tab_hidden(int hidden)
{
    // From the page's own event: the window is changed from the event loop, as any other event.
    QTimer::singleShot(0, qApp, [hidden] { platform::showTabHidden(hidden != 0); });
}
