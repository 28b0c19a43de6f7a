// SPDX-License-Identifier: GPL-3.0-or-later
#include "form.h"
#include "accessibility.h"
#include "appstyle.h"
#include "dialogs.h"
#include "display.h"
#include "faces.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {

QFont fontFor(const FontDesc &desc, double zoom)
{
    QFont font;
    font.setFamilies(facesFor(desc.family));
    // Points are turned into pixels at 96 dpi so the layout does not move with the screen.
    font.setPixelSize(std::max(1, int(desc.points * 96.0 / 72.0 * zoom + 0.5)));
    font.setBold(desc.bold);
    font.setItalic(desc.italic);
    return font;
}

// The window's client area, painted in the form's BackColor. It paints the colour itself: a
// palette change here would make every control recompute its own palette at every question.
class ClientArea : public QWidget {
public:
    explicit ClientArea(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setBackColor(const QColor &colour)
    {
        if (colour == back_)
            return;
        back_ = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        p.fillRect(event->rect(), back_);
    }

private:
    QColor back_ = Qt::black;
};

// A thick frame over a control that has the focus where another control covers it, so that a
// child sees where the keys go: its own focus mark lies under the cover.
class CoveredFocusMark : public QWidget {
public:
    explicit CoveredFocusMark(QWidget *client) : QWidget(client)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

    void follow(QWidget *focus)
    {
        if (!focus || !isCovered(focus)) {
            hide();
            return;
        }
        setGeometry(focus->geometry());
        raise();
        show();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect frame = rect().adjusted(1, 1, -2, -2);
        p.setPen(QPen(Qt::white, 3));
        p.drawRect(frame);
        p.setPen(QPen(Qt::black, 3, Qt::DotLine));
        p.drawRect(frame);
    }

private:
    // A sibling drawn over it takes its place on screen.
    bool isCovered(const QWidget *control) const
    {
        const QList<QWidget *> siblings =
            parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        const qsizetype at = siblings.indexOf(const_cast<QWidget *>(control));
        for (qsizetype i = at + 1; at >= 0 && i < siblings.size(); ++i) {
            if (siblings[i] != this && siblings[i]->isVisible() &&
                siblings[i]->geometry().intersects(control->geometry()))
                return true;
        }
        return false;
    }
};

namespace {

// Alt pressed and released alone enters or leaves the menu bar, counted where every other key
// counts: when it reaches a control. The bar would take Alt as it comes from the window system,
// but while a screen reader listens for keys, Qt's accessibility bridge holds each key back until
// the screen reader has seen it and then sends it again, as a key of the program's: an Alt taken
// at once overtakes an Escape typed just before it, and its late copy would toggle the bar once
// more. A control receives each key once and in the order typed, however fast.
class AltAloneFilter : public QObject {
public:
    using QObject::QObject;
    static AltAloneFilter *instance()
    {
        static QPointer<AltAloneFilter> filter;
        if (!filter) {
            filter = new AltAloneFilter(qApp);
            qApp->installEventFilter(filter);
        }
        return filter;
    }
    // While set, Alt goes to the bar as it is: the two keys that toggle its mode.
    bool sendingOwn = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (sendingOwn)
            return false;
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            if (isAlt(event))
                return true; // the bar never arms itself
            armed_ = false;
            break;
        case QEvent::KeyPress:
            if (watched->isWidgetType())
                armed_ = isAlt(event);
            break;
        case QEvent::KeyRelease:
            if (watched->isWidgetType() && isAlt(event) && std::exchange(armed_, false))
                pressF10(static_cast<QWidget *>(watched)->window());
            break;
        case QEvent::MouseButtonPress:
        case QEvent::FocusOut: // Alt+Tab: the window comes back with Alt still down
        case QEvent::WindowDeactivate:
            armed_ = false;
            break;
        default:
            break;
        }
        return false;
    }

private:
    static bool isAlt(const QEvent *event)
    {
        const int key = static_cast<const QKeyEvent *>(event)->key();
        return key == Qt::Key_Alt || key == Qt::Key_Meta;
    }
    // What F10 does in the window; a box or a menu list has no F10 of its own.
    static void pressF10(QWidget *window)
    {
        for (QAction *action : window->actions()) {
            if (action->shortcut() == QKeySequence(Qt::Key_F10))
                action->trigger();
        }
    }
    bool armed_ = false;
};

} // namespace

FormWindow::FormWindow(Form &form, const WindowDesc &desc) : form_(form), desc_(desc)
{
    silenceUntilShown(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(desc.caption);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    zoom_ = zoomToFit(desc);
    client_ = new ClientArea(this);
    client_->setObjectName(QStringLiteral("clientArea"));
    client_->setFixedSize(at(desc.clientWidth), at(desc.clientHeight));
    setCentralWidget(client_);
    setBackColor(desc.backColor);
    buildControls(desc);
    coveredMark_ = new CoveredFocusMark(client_);
    buildMenus(desc);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    focusFollower_ = connect(qApp, &QApplication::focusChanged, this,
                             [this](QWidget *, QWidget *now) { followFocus(now); });
    AltAloneFilter::instance();
}

// The focus moves while QWidget's destructor closes the window, when this is a FormWindow no
// more.
FormWindow::~FormWindow()
{
    disconnect(focusFollower_);
}

// The window as designed where the screen holds it; where the desktop's scaling would put part
// of it off the screen, the whole of it smaller, in the same proportions. The frame and the menu
// bar are not known before the window shows: room is left for the usual ones.
double FormWindow::zoomToFit(const WindowDesc &desc, QSize reserve)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1.0;
    const QSize room = screen->availableGeometry().size() - QSize(16, 72) - reserve;
    return std::clamp(zoomInto(desc, room), 0.25, 1.0);
}

// The zoom at which the client area just fills the room, in the design's proportions.
double FormWindow::zoomInto(const WindowDesc &desc, QSize room)
{
    return std::min(double(room.width()) * twipsPerPixel / desc.clientWidth,
                    double(room.height()) * twipsPerPixel / desc.clientHeight);
}

int FormWindow::at(int twips) const
{
    return zoom_ == 1.0 ? pixels(twips) : int(std::lround(twips * zoom_ / twipsPerPixel));
}

QPixmap FormWindow::zoomed(const QPixmap &picture) const
{
    if (zoom_ == 1.0 || picture.isNull())
        return picture;
    return picture.scaled((QSizeF(picture.size()) * zoom_).toSize(), Qt::IgnoreAspectRatio,
                          Qt::SmoothTransformation);
}

double FormWindow::zoom() const
{
    return zoom_;
}

void FormWindow::setFullScreen(bool on, QSize reserve)
{
    fullScreen_ = on;
    if (!on) {
        setContentsMargins(0, 0, 0, 0);
        applyZoom(zoomToFit(desc_));
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        if (isVisible())
            showNormal();
        return;
    }
    const QSize screen =
        (windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen())
            ->geometry()
            .size();
    const int bar = menuWidget() ? menuWidget()->sizeHint().height()
                                 : QFontMetrics(QApplication::font("QMenuBar")).height() + 10;
    const QSize room = screen - reserve - QSize(0, bar);
    applyZoom(zoomInto(desc_, room));
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    // The window's own colour shows around the design.
    const QSize left = room - client_->size();
    setContentsMargins(left.width() / 2, left.height() / 2,
                       reserve.width() + left.width() - left.width() / 2,
                       reserve.height() + left.height() - left.height() / 2);
    if (isVisible())
        showFullScreen();
}

void FormWindow::leaveRoom(QSize reserve)
{
    if (fullScreen_)
        return;
    applyZoom(zoomToFit(desc_, reserve));
    layout()->activate();
    const QRect room = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    const QPoint inside(frame.x() - x(), frame.y() - y()); // the frame's offset from the window
    const int left = std::max(
        room.left(), std::min(frame.left(), room.right() + 1 - reserve.width() - frame.width()));
    const int top = std::max(
        room.top(), std::min(frame.top(), room.bottom() + 1 - reserve.height() - frame.height()));
    move(QPoint(left, top) - inside);
}

// Lays the controls out again at another size: places, fonts and pictures.
void FormWindow::applyZoom(double zoom)
{
    if (zoom == zoom_)
        return;
    zoom_ = zoom;
    client_->setFixedSize(at(desc_.clientWidth), at(desc_.clientHeight));
    for (const ControlDesc &c : desc_.controls) {
        auto *w = qobject_cast<QWidget *>(controls_.value(QString::fromLatin1(c.name)));
        if (!w)
            continue;
        w->setGeometry(at(c.left), at(c.top), at(c.width), at(c.height));
        if (dressed_)
            dressControl(w, c);
    }
}

QWidget *FormWindow::clientArea() const
{
    return client_;
}

void FormWindow::setBackColor(Long colour)
{
    backColor_ = colour;
    client_->setBackColor(toQColor(colour));
}

namespace {

// The format is the one the name ends with: sniffing the content instead would load every image
// plugin of the system to ask it.
void readAsNamed(QImageReader &reader, const QString &path)
{
    reader.setFileName(path);
    reader.setFormat(QFileInfo(path).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
}

} // namespace

QImage readPicture(const QString &path)
{
    QImageReader reader;
    readAsNamed(reader, path);
    return reader.read();
}

QIcon readIcon(const QString &path)
{
    QImageReader reader;
    readAsNamed(reader, path);
    QIcon icon;
    QImage image;
    do {
        if (!reader.read(&image))
            break;
        icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    return icon;
}

namespace {

QPixmap blank(QSize size, const QColor &colour)
{
    QPixmap placeholder(size);
    placeholder.fill(colour);
    return placeholder;
}

// A picture built into the program; until it is there, a blank of the size it will have keeps
// the control's layout.
// Every new game builds the window again: each picture is read once and then shared through
// Qt's cache of pictures, instead of being decoded again and again.
template <class Make> QPixmap cached(const QString &key, Make make)
{
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = make();
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

QPixmap pictureOrBlank(const QString &path, QSize size, const QColor &blankColour = Qt::transparent)
{
    if (path.isEmpty())
        return {};
    if (const QPixmap picture = cached(path, [&] { return QPixmap::fromImage(readPicture(path)); });
        !picture.isNull())
        return picture;
    return blank(size, blankColour);
}

// A picture stretched to the control once, when it is loaded: repainting pieces of it then only
// copies pixels (the clock's tick and the caret's blink do so every second), and the picture at
// its own size is not kept beside the stretched one.
QPixmap stretchedOrBlank(const QString &path, QSize size, const QColor &blankColour)
{
    const QString key = QStringLiteral("%1@%2x%3").arg(path).arg(size.width()).arg(size.height());
    const QPixmap stretched = cached(key, [&] {
        const QImage picture = readPicture(path);
        return picture.isNull() ? QPixmap()
                                : QPixmap::fromImage(picture.scaled(size, Qt::IgnoreAspectRatio,
                                                                    Qt::SmoothTransformation));
    });
    return stretched.isNull() ? blank(size, blankColour) : stretched;
}

constexpr QSize buttonIconSize(32, 32);
// The night sky the background picture is painted in.
const QColor backgroundBlank(16, 24, 72);

} // namespace

QWidget *FormWindow::makeControl(const ControlDesc &c)
{
    switch (c.kind) {
    case ControlKind::Label: {
        auto *label = new Label(client_);
        label->setTransparent(!c.backColor, c.backColor ? toQColor(*c.backColor) : QColor());
        label->setAlignment(c.centred ? Qt::AlignHCenter | Qt::AlignTop
                                      : Qt::AlignLeft | Qt::AlignTop);
        label->setBorder(c.border);
        label->setAutoSize(c.autoSize);
        return label;
    }
    case ControlKind::TextBox: {
        auto *box = new TextBox(client_);
        // A refused key is heard, not seen: a screen reader has already echoed it as typed.
        connect(box, &TextBox::keyRefused, box, [] { QApplication::beep(); });
        if (c.maxLength > 0)
            box->setMaxLength(c.maxLength);
        box->setAlignment(c.centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        if (c.backColor) {
            QPalette p = box->palette();
            p.setColor(QPalette::Base, toQColor(*c.backColor));
            box->setPalette(p);
        }
        return box;
    }
    case ControlKind::CommandButton: {
        if (c.picture.isEmpty() && c.backColor == std::nullopt) {
            auto *plain = new QPushButton(client_);
            plain->setAutoDefault(false);
            return plain;
        }
        auto *button = new CommandButton(client_);
        if (c.backColor)
            button->setBackColor(toQColor(*c.backColor));
        return button;
    }
    case ControlKind::Image: {
        auto *image = new Image(client_);
        image->setStretch(c.stretch);
        return image;
    }
    case ControlKind::Timer:
        break;
    }
    return nullptr;
}

void FormWindow::buildControls(const WindowDesc &desc)
{
    for (const ControlDesc &c : desc.controls) {
        const QString name = QString::fromLatin1(c.name);
        if (c.kind == ControlKind::Timer) {
            auto *timer = new Timer(this);
            timer->setObjectName(name);
            timer->setInterval(c.interval);
            timer->setEnabled(c.enabled);
            controls_.insert(name, timer);
            continue;
        }
        QWidget *w = makeControl(c);
        w->setObjectName(name);
        if (c.foreColor) {
            QPalette p = w->palette();
            p.setColor(QPalette::WindowText, toQColor(*c.foreColor));
            p.setColor(QPalette::Text, toQColor(*c.foreColor));
            p.setColor(QPalette::ButtonText, toQColor(*c.foreColor));
            w->setPalette(p);
        }
        w->setGeometry(at(c.left), at(c.top), at(c.width), at(c.height));
        if (auto *label = qobject_cast<Label *>(w))
            label->setCaption(c.caption);
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            button->setText(c.caption);
        else if (auto *box = qobject_cast<QLineEdit *>(w))
            box->setText(c.caption);
        if (c.iconPointer)
            w->setCursor(iconPointer());
        else if (c.kind == ControlKind::CommandButton)
            w->setCursor(Qt::ArrowCursor); // buttons keep the usual pointer, not the window's hand
        if (!c.toolTip.isEmpty())
            w->setToolTip(c.toolTip);
        w->setEnabled(c.enabled);
        controls_.insert(name, w);
    }
    stack(desc);
    orderTabs(desc);
    bindSpokenTexts(desc);
}

void FormWindow::bindSpokenTexts(const WindowDesc &desc)
{
    for (const ControlDesc &c : desc.controls) {
        auto *w = qobject_cast<QWidget *>(controls_.value(QString::fromLatin1(c.name)));
        if (auto *label = qobject_cast<Label *>(w))
            label->setQuiet(c.quiet);
        if (w && (!c.spokenName.isEmpty() || !c.spokenDescription.isEmpty()))
            bindSpokenText(w, c.spokenName, c.spokenDescription, c.quiet, controls_);
    }
}

void FormWindow::dress()
{
    if (dressed_)
        return;
    dressed_ = true;
    placeMenuBar();
    if (!desc_.icon.isEmpty())
        setWindowIcon(readIcon(desc_.icon)); // a few kilobytes, read once a game
    if (const QPixmap hand = pictureOrBlank(desc_.cursor, {});
        !hand.isNull() && !hand.size().isEmpty())
        client_->setCursor(QCursor(hand, desc_.cursorHotX, desc_.cursorHotY));
    for (const ControlDesc &c : desc_.controls) {
        if (auto *w = qobject_cast<QWidget *>(controls_.value(QString::fromLatin1(c.name))))
            dressControl(w, c);
    }
}

void FormWindow::dressControl(QWidget *w, const ControlDesc &c)
{
    if (c.font)
        w->setFont(fontFor(*c.font, zoom_));
    if (auto *button = qobject_cast<CommandButton *>(w)) {
        button->setPictures(zoomed(pictureOrBlank(c.picture, buttonIconSize)),
                            zoomed(pictureOrBlank(c.downPicture, buttonIconSize)),
                            zoomed(pictureOrBlank(c.disabledPicture, buttonIconSize)));
    } else if (auto *image = qobject_cast<Image *>(w)) {
        const QSize size(at(c.width), at(c.height));
        image->setPicture(c.stretch ? stretchedOrBlank(c.picture, size, backgroundBlank)
                                    : zoomed(pictureOrBlank(c.picture, size)));
    }
}

// Among labels and images an earlier control lies over a later one; the controls with a window
// of their own lie over every label and image, and among them too the earlier over the later.
void FormWindow::stack(const WindowDesc &desc)
{
    auto windowed = [](ControlKind k) {
        return k == ControlKind::TextBox || k == ControlKind::CommandButton;
    };
    for (bool family : {false, true}) {
        for (auto it = desc.controls.rbegin(); it != desc.controls.rend(); ++it) {
            if (it->kind != ControlKind::Timer && windowed(it->kind) == family)
                qobject_cast<QWidget *>(controls_.value(QString::fromLatin1(it->name)))->raise();
        }
    }
}

void FormWindow::orderTabs(const WindowDesc &desc)
{
    std::vector<const ControlDesc *> order;
    for (const ControlDesc &c : desc.controls) {
        if (c.tabIndex >= 0)
            order.push_back(&c);
    }
    std::sort(order.begin(), order.end(),
              [](auto *a, auto *b) { return a->tabIndex < b->tabIndex; });
    QWidget *previous = nullptr;
    for (const ControlDesc *c : order) {
        auto *w = qobject_cast<QWidget *>(controls_.value(QString::fromLatin1(c->name)));
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

// The menus and their items; the bar that carries them comes with the dressing, because making
// it reads the pictures of the style's buttons.
void FormWindow::buildMenus(const WindowDesc &desc)
{
    for (const MenuDesc &m : desc.menus) {
        QAction *entry = nullptr;
        if (m.items.empty()) {
            entry = new QAction(m.caption, this);
        } else {
            auto *menu = new QMenu(m.caption, this);
            entry = menu->menuAction();
            for (const MenuDesc &item : m.items) {
                QAction *a = menu->addAction(item.caption);
                a->setObjectName(QString::fromLatin1(item.name));
                menus_.insert(a->objectName(), a);
            }
        }
        entry->setObjectName(QString::fromLatin1(m.name));
        menus_.insert(entry->objectName(), entry);
        barEntries_.push_back(entry);
    }
    // F10 does what Alt pressed and released alone does, as on every desktop: the bar takes the
    // keys on its first entry; the arrows move and open, Return chooses, Escape leaves.
    addKeyCommand(Qt::Key_F10, [this] { toggleMenuBarKeys(); });
}

// The bar's keyboard mode has no call of its own; the bar enters and leaves it on Alt pressed
// and released alone. The two key events go straight to the window, not through the window
// system, where a screen reader's key listener would hold them back and let the keys around them
// overtake them.
void FormWindow::toggleMenuBarKeys()
{
    auto *bar = qobject_cast<QMenuBar *>(menuWidget());
    if (!bar || !bar->isVisible() || !isActiveWindow())
        return;
    QWindow *window = windowHandle();
    AltAloneFilter *filter = AltAloneFilter::instance();
    filter->sendingOwn = true;
    QKeyEvent altPressed(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(window, &altPressed);
    QKeyEvent altReleased(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &altReleased);
    filter->sendingOwn = false;
}

// A box opened from the bar in keyboard mode takes the focus from the bar, which leaves its
// mode without handing the focus back; when the box closes the window gives it to the bar again,
// idle, and typing would go nowhere. The control that had it gets it back.
void FormWindow::followFocus(QWidget *now)
{
    coveredMark_->follow(now && now->parentWidget() == client_ ? now : nullptr);
    if (now && (now->focusPolicy() & Qt::TabFocus) && client_->isAncestorOf(now)) {
        lastControl_ = now;
        return;
    }
    if (now && now == menuWidget())
        QTimer::singleShot(0, this, &FormWindow::leaveIdleMenuBar);
}

void FormWindow::leaveIdleMenuBar()
{
    auto *bar = qobject_cast<QMenuBar *>(menuWidget());
    if (!bar || !bar->hasFocus() || bar->activeAction() || QApplication::activePopupWidget())
        return;
    if (lastControl_ && lastControl_->isEnabled() && lastControl_->isVisible())
        lastControl_->setFocus(Qt::OtherFocusReason);
}

void FormWindow::addKeyCommand(const QKeySequence &key, const std::function<void()> &command)
{
    auto *action = new QAction(this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, command);
}

void FormWindow::placeMenuBar()
{
    if (barEntries_.empty())
        return;
    QMenuBar *bar = menuBar();
    bar->setNativeMenuBar(false);
    bar->setStyle(menuBarStyle(bar));
    bar->setAccessibleName(desc_.spokenMenuBarName);
    for (QAction *entry : barEntries_)
        bar->addAction(entry);
}

void FormWindow::setVisible(bool visible)
{
    if (visible)
        endSilence(this);
    if (visible && fullScreen_)
        setWindowState(windowState() | Qt::WindowFullScreen);
    QMainWindow::setVisible(visible);
}

void FormWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // A restore also brings a (spontaneous) show; the state change reports it.
    if (!event->spontaneous() && !unloading_)
        form_.raiseResize();
}

void FormWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // An unloaded window lingers until its deferred deletion; it speaks for the form no more.
    if (event->type() == QEvent::WindowStateChange && !unloading_)
        form_.raiseResize();
}

void FormWindow::closeEvent(QCloseEvent *event)
{
    if (unloading_) {
        event->accept();
        return;
    }
    form_.raiseClosing();
    event->accept();
}

Form::Form(const WindowDesc &desc, QObject *parent) : QObject(parent), desc_(desc)
{
    installFontSubstitutes();
}

Form::~Form()
{
    delete window_.data();
}

namespace {

// Dresses a window once another top-level window (the box that Load shows first) has been
// exposed: the fonts and pictures are then read while the box waits for its answer, not before
// it appears. The dressing runs after the box has painted itself.
class DressWhileBoxWaits : public QObject {
public:
    explicit DressWhileBoxWaits(FormWindow *window) : window_(window)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~DressWhileBoxWaits() override { QCoreApplication::instance()->removeEventFilter(this); }
    DressWhileBoxWaits(const DressWhileBoxWaits &) = delete;
    DressWhileBoxWaits &operator=(const DressWhileBoxWaits &) = delete;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Expose || scheduled_ || !window_)
            return false;
        auto *exposed = qobject_cast<QWindow *>(watched);
        if (exposed && exposed->isExposed() && exposed != window_->windowHandle()) {
            scheduled_ = true;
            QTimer::singleShot(0, window_.data(), &FormWindow::dress);
        }
        return false;
    }

private:
    QPointer<FormWindow> window_;
    bool scheduled_ = false;
};

} // namespace

void Form::Show()
{
    if (!window_) {
        window_ = new FormWindow(*this, desc_);
        bindControls(*window_);
        DressWhileBoxWaits dressing(window_);
        runEvent([this] { Form_Load(); });
    }
    if (!window_)
        return;       // unloaded while loading
    window_->dress(); // at once when Load showed no box, or it was answered first
    window_->show();
    window_->raise();
    window_->activateWindow();
    runEvent([this] { Form_Activate(); });
}

void Form::Unload()
{
    if (!window_)
        return;
    FormWindow *old = window_;
    window_ = nullptr;
    unbindControls();
    for (auto *timer : old->findChildren<Timer *>())
        timer->setEnabled(false);
    old->setUnloading();
    old->hide();
    // A menu command may be the caller: the window goes once that event is over.
    old->deleteLater();
}

void Form::runCommand(const std::function<void()> &handler)
{
    if (!commandsWaitForTheirEvent()) {
        runEvent(handler);
        return;
    }
    QTimer::singleShot(0, this, [this, handler] {
        if (ModalGate::instance().depth() == 0)
            runEvent(handler);
    });
}

QString Form::Caption() const
{
    return window_ ? window_->windowTitle() : QString();
}

void Form::setCaption(const QString &caption)
{
    if (window_)
        window_->setWindowTitle(caption);
}

Long Form::BackColor() const
{
    return window_ ? window_->backColor() : 0;
}

void Form::setBackColor(Long colour)
{
    if (window_)
        window_->setBackColor(colour);
}

int Form::WindowState() const
{
    if (!window_)
        return 0;
    const Qt::WindowStates s = window_->windowState();
    if (s & Qt::WindowMinimized)
        return 1;
    return s & Qt::WindowMaximized ? 2 : 0;
}

void Form::raiseResize()
{
    runEvent([this] { Form_Resize(); });
}

void Form::raiseClosing()
{
    runEvent([this] { Form_Closing(); });
}

} // namespace platform
