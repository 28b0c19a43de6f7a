// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>

#include <algorithm>

namespace platform {

ModalGate &ModalGate::instance()
{
    // Process-wide: a modal box holds back every timer of the program, whoever opened it.
    static ModalGate gate;
    return gate;
}

void ModalGate::enter()
{
    ++depth_;
    emit entered();
}

void ModalGate::leave()
{
    --depth_;
    emit left();
}

namespace {

QString titleOr(const QString &title)
{
    return title.isEmpty() ? applicationTitle() : title;
}

QWidget *boxParent()
{
    return QApplication::activeWindow();
}

void italianButtons(QMessageBox &box)
{
    if (auto *b = box.button(QMessageBox::Yes))
        b->setText(QStringLiteral("Sì"));
    if (auto *b = box.button(QMessageBox::No))
        b->setText(QStringLiteral("No"));
    if (auto *b = box.button(QMessageBox::Ok))
        b->setText(QStringLiteral("OK"));
}

QMessageBox::Icon iconFor(int style)
{
    switch (style & 0x70) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QRect screenSpace(const QWidget *parent)
{
    QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

// Room the title bar takes beside the title: the window's icon and its buttons.
constexpr int titleBarButtons = 160;

// Wide enough for the whole title in the title bar (which uses a bold face), never wider than the
// screen.
int widthForTitle(const QWidget &box, const QString &title)
{
    QFont bold = QApplication::font("QMdiSubWindowTitleBar");
    bold.setBold(true);
    const int wanted = QFontMetrics(bold).horizontalAdvance(title) + titleBarButtons;
    return std::min(wanted, screenSpace(box.parentWidget()).width() - 20);
}

// A message box sizes itself from its text; a spacer across its grid makes it as wide as its title.
void widenToTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(widthForTitle(box, box.windowTitle()), 0, QSizePolicy::Minimum,
                                  QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// Appends a word to the lines, breaking it where it is wider than a line alone.
void addWord(QStringList &lines, const QString &word, const QFontMetrics &fm, int width)
{
    const QString joined = lines.back().isEmpty() ? word : lines.back() + u' ' + word;
    if (fm.horizontalAdvance(joined) <= width) {
        lines.back() = joined;
        return;
    }
    if (!lines.back().isEmpty())
        lines.append(QString());
    for (qsizetype i = 0; i < word.size(); ++i) {
        const qsizetype n = word.at(i).isHighSurrogate() && i + 1 < word.size() ? 2 : 1;
        const QString piece = word.mid(i, n);
        if (!lines.back().isEmpty() && fm.horizontalAdvance(lines.back() + piece) > width)
            lines.append(QString());
        lines.back() += piece;
        i += n - 1;
    }
}

} // namespace

// The prompt as a box shows it: broken into lines no wider than the width, words longer than a
// line broken too, and at most so many lines, the last ending in "…" when text is left out.
QString shownPrompt(const QString &prompt, const QFontMetrics &fm, int width, int maxLines)
{
    QStringList lines;
    for (const QString &paragraph : prompt.split(u'\n')) {
        lines.append(QString());
        if (fm.horizontalAdvance(paragraph) <= width) {
            lines.back() = paragraph;
            continue;
        }
        for (const QString &word : paragraph.split(u' ', Qt::SkipEmptyParts))
            addWord(lines, word, fm, width);
    }
    if (lines.size() > maxLines) {
        lines.resize(maxLines);
        QString &last = lines.back();
        while (!last.isEmpty() && fm.horizontalAdvance(last + u'…') > width)
            last.chop(last.back().isLowSurrogate() && last.size() > 1 ? 2 : 1);
        last += u'…';
    }
    return lines.join(u'\n');
}

namespace {

// Keeps the box within the screen: a prompt of any length (a very long player's name) is broken
// into lines and shortened on screen only, so the box and its buttons stay in view.
QString promptForScreen(const QMessageBox &box, const QString &prompt)
{
    const QRect space = screenSpace(box.parentWidget());
    const QFontMetrics fm(QApplication::font("QMessageBox"));
    // Room for the icon, the margins and the buttons' row.
    const int width = std::clamp(space.width() - 160, 120, 900);
    const int lines = std::max(3, (space.height() - 200) / std::max(1, fm.lineSpacing()));
    return shownPrompt(prompt, fm, width, lines);
}

} // namespace

int QtDialogs::msgBox(const QString &prompt, int style, const QString &title)
{
    return spokenMsgBox(prompt, QString(), style, title);
}

int QtDialogs::spokenMsgBox(const QString &prompt, const QString &spoken, int style,
                            const QString &title)
{
    QMessageBox box(boxParent());
    box.setWindowTitle(titleOr(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(promptForScreen(box, prompt));
    // A screen reader reads a box's text by its label's name.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        label && !spoken.isEmpty())
        label->setAccessibleName(spoken);
    box.setIcon(iconFor(style));
    const bool yesNo = asksYesNo(style);
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(style & vbDefaultButton2 ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    italianButtons(box);
    widenToTitle(box);
    {
        ModalScope scope;
        box.exec();
    }
    if (!yesNo)
        return vbOK;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? vbYes : vbNo;
}

QString QtDialogs::inputBox(const QString &prompt, const QString &title)
{
    QInputDialog dialog(boxParent());
    dialog.setWindowTitle(titleOr(title));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(prompt);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Annulla"));
    if (auto *label = dialog.findChild<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    dialog.setMinimumWidth(widthForTitle(dialog, dialog.windowTitle()));
    int result = QDialog::Rejected;
    {
        ModalScope scope;
        result = dialog.exec();
    }
    return result == QDialog::Accepted ? dialog.textValue() : QString();
}

QtDialogs &qtDialogs()
{
    static QtDialogs real; // stateless: one serves every window
    return real;
}

} // namespace platform
