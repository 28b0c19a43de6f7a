// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

ModalGate &ModalGate::instance()
{
    static ModalGate gate;
    return gate;
}

void ModalGate::enter()
{
    ++depth_;
}

void ModalGate::leave()
{
    if (--depth_ == 0)
        emit allClosed();
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

DialogService *&currentService()
{
    static DialogService *service = nullptr;
    return service;
}

} // namespace

int QtDialogs::msgBox(const QString &prompt, int style, const QString &title)
{
    QMessageBox box(boxParent());
    box.setWindowTitle(titleOr(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(prompt);
    box.setIcon(iconFor(style));
    const bool yesNo = (style & 7) == vbYesNo;
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(style & vbDefaultButton2 ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    italianButtons(box);
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
    int result = QDialog::Rejected;
    {
        ModalScope scope;
        result = dialog.exec();
    }
    return result == QDialog::Accepted ? dialog.textValue() : QString();
}

void ScriptedDialogs::answer(int button, Action whileOpen)
{
    script_.push_back({Kind::Message, button, QString(), std::move(whileOpen)});
}

void ScriptedDialogs::type(const QString &text, Action whileOpen)
{
    script_.push_back({Kind::Input, 0, text, std::move(whileOpen)});
}

ScriptedDialogs::Answer ScriptedDialogs::next(Kind kind)
{
    // An unscripted box takes its safe answer: OK, No, or Cancel.
    if (script_.empty() || script_.front().kind != kind)
        return {kind, -1, QString(), {}};
    Answer a = std::move(script_.front());
    script_.pop_front();
    return a;
}

int ScriptedDialogs::msgBox(const QString &prompt, int style, const QString &title)
{
    calls_.append({Kind::Message, prompt, style, titleOr(title)});
    const Call call = calls_.back();
    Answer a = next(Kind::Message);
    {
        ModalScope scope;
        if (a.whileOpen)
            a.whileOpen(call);
    }
    const bool yesNo = (style & 7) == vbYesNo;
    if (a.button < 0)
        return yesNo ? vbNo : vbOK;
    return a.button;
}

QString ScriptedDialogs::inputBox(const QString &prompt, const QString &title)
{
    calls_.append({Kind::Input, prompt, 0, titleOr(title)});
    const Call call = calls_.back();
    Answer a = next(Kind::Input);
    {
        ModalScope scope;
        if (a.whileOpen)
            a.whileOpen(call);
    }
    return a.text;
}

QStringList ScriptedDialogs::prompts() const
{
    QStringList list;
    for (const Call &c : calls_)
        list << c.prompt;
    return list;
}

DialogService &dialogService()
{
    static QtDialogs real;
    DialogService *service = currentService();
    return service ? *service : real;
}

void setDialogService(DialogService *service)
{
    currentService() = service;
}

int MsgBox(const QString &prompt, int style, const QString &title)
{
    return dialogService().msgBox(prompt, style, title);
}

QString InputBox(const QString &prompt, const QString &title)
{
    return dialogService().inputBox(prompt, title);
}

} // namespace platform
