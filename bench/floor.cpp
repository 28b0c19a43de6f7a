// SPDX-License-Identifier: GPL-3.0-or-later
// The floor: the least a Qt Widgets program showing a window like the game's costs on this machine.
// One 688x580 window, five plain labels and a focused text box in the toolkit's own style and
// font; no pictures, no fonts of its own, nothing else.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.setFixedSize(688, 580);
    const char *captions[] = {"Tempo restante", "00:15:00", "Base", "Esponente", "Risposte"};
    int top = 20;
    for (const char *caption : captions) {
        auto *label = new QLabel(QString::fromLatin1(caption), &window);
        label->move(20, top);
        top += 40;
    }
    auto *box = new QLineEdit(&window);
    box->setGeometry(488, 40, 161, 80);
    box->setFocus();
    // Shown and activated as the game shows its window: the box's cursor blinks in both.
    window.show();
    window.activateWindow();
    return QApplication::exec();
}
