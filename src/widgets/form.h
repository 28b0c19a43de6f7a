// SPDX-License-Identifier: GPL-3.0-or-later
// A form: the window built from its description at every load, with the events Load, Activate
// and Resize, and Unload and Show.
#pragma once

#include "controls.h"
#include "design.h"

#include <QAction>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <vector>

namespace platform {

class Form;
class ClientArea;

// The top-level window of a loaded form; it lives from Load to Unload. It is built in two steps:
// the controls with their places, captions, colours and states, which Load works with, and then
// their fonts and pictures (dress), which only the window on screen needs. A program's first
// box (the name asked in Load) thus appears before the fonts and pictures are read, which are
// read while it waits for its answer.
class FormWindow : public QMainWindow {
    Q_OBJECT
public:
    FormWindow(Form &form, const WindowDesc &desc);
    ~FormWindow() override;

    // Gives every control its font and picture, and the window its icon and pointer; once.
    void dress();
    bool isDressed() const { return dressed_; }

    // The area below the menu bar that holds the controls.
    QWidget *clientArea() const;
    // How much smaller than designed the window is drawn to fit the screen: 1 where it fits.
    double zoom() const;
    // The window over the whole screen, drawn as large as the screen allows in the design's
    // proportions, leaving `reserve` free at the right (or at the bottom on a screen taller than
    // wide); off, the window as designed again.
    void setFullScreen(bool on, QSize reserve = QSize(0, 0));
    bool fullScreen() const { return fullScreen_; }
    // Keeps `reserve` of the screen free at the window's right (at its bottom on a screen taller
    // than wide), for a window of the program's beside it: the window moves, and where the
    // screen is too small it is drawn smaller.
    void leaveRoom(QSize reserve);
    QObject *control(const QString &name) const { return controls_.value(name); }
    QAction *menuItem(const QString &name) const { return menus_.value(name); }
    void setBackColor(Long colour);
    Long backColor() const { return backColor_; }
    void setUnloading() { unloading_ = true; }
    // A key that runs the command from anywhere in the window, the answer box included.
    void addKeyCommand(const QKeySequence &key, const std::function<void()> &command);

protected:
    void setVisible(bool visible) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls(const WindowDesc &desc);
    void buildMenus(const WindowDesc &desc);
    void placeMenuBar();
    void stack(const WindowDesc &desc);
    void orderTabs(const WindowDesc &desc);
    void bindSpokenTexts(const WindowDesc &desc);
    QWidget *makeControl(const ControlDesc &c);
    void dressControl(QWidget *w, const ControlDesc &c);
    void toggleMenuBarKeys();
    void followFocus(QWidget *now);
    void leaveIdleMenuBar();
    static double zoomToFit(const WindowDesc &desc, QSize reserve = QSize(0, 0));
    static double zoomInto(const WindowDesc &desc, QSize room);
    int at(int twips) const;
    void applyZoom(double zoom);
    QPixmap zoomed(const QPixmap &picture) const;

    Form &form_;
    const WindowDesc &desc_;
    bool dressed_ = false;
    ClientArea *client_ = nullptr;
    QHash<QString, QObject *> controls_;
    QHash<QString, QAction *> menus_;
    std::vector<QAction *> barEntries_;
    // The control that last had the focus, for the bar to give it back.
    QPointer<QWidget> lastControl_;
    class CoveredFocusMark *coveredMark_ = nullptr;
    QMetaObject::Connection focusFollower_;
    Long backColor_ = 0;
    bool unloading_ = false;
    double zoom_ = 1.0; // below 1 where the window would not fit the screen
    bool fullScreen_ = false;
};

class Form : public QObject {
    Q_OBJECT
public:
    explicit Form(const WindowDesc &desc, QObject *parent = nullptr);
    ~Form() override;

    // Loads the form when it is not loaded (building every control at its design-time settings
    // and raising Load), shows the window, then raises Activate.
    void Show();
    // Destroys the window and every control, timers included.
    void Unload();
    bool isLoaded() const { return window_ != nullptr; }
    FormWindow *window() const { return window_; }

    QString Caption() const;
    void setCaption(const QString &caption);
    Long BackColor() const;
    void setBackColor(Long colour);
    // 0 normal, 1 minimized, 2 maximized.
    int WindowState() const;

    // Runs one of the form's event handlers; the form says where a run-time error escaping it is
    // reported (runHandler, with its own boxes and end).
    virtual void runEvent(const std::function<void()> &handler) = 0;
    // Runs the handler of a command a click or a tap may choose (a button, a menu entry). Where
    // a box's loop cannot run inside the pointer's event (a page), the handler runs once that
    // event is over; one that comes due while a box is open is dropped, as a click under a box.
    void runCommand(const std::function<void()> &handler);

protected:
    virtual void bindControls(FormWindow &window) = 0;
    virtual void unbindControls() = 0;
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_Resize() {}
    // The window manager closes the window (close button, Alt+F4): a form that must keep
    // something before it goes does it here.
    virtual void Form_Closing() {}

    template <class T> T *control(FormWindow &window, const char *name)
    {
        auto *c = qobject_cast<T *>(window.control(QString::fromLatin1(name)));
        Q_ASSERT_X(c, "Form::control", name);
        return c;
    }

private:
    friend class FormWindow;
    void raiseResize();
    void raiseClosing();

    const WindowDesc &desc_;
    QPointer<FormWindow> window_;
};

// The font of a control, its points turned into pixels at 96 dpi.
QFont fontFor(const FontDesc &font, double zoom = 1.0);

// A picture built into the program, read in the format its name ends with (bmp, ico, cur)
// without sniffing its content, which would load every image plugin to ask it; null when
// missing or unreadable.
QImage readPicture(const QString &path);
// Every image of an icon file, each size of it.
QIcon readIcon(const QString &path);

} // namespace platform
