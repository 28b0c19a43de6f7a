// SPDX-License-Identifier: GPL-3.0-or-later
#include "appstyle.h"

#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace platform {

namespace {

class BoxStyle : public QProxyStyle {
public:
    BoxStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Fusion marks a bar entry only while its list is open: a child moving along the bar with the
// arrows would not see where the keys are. The bar has the focus only in keyboard mode.
class MenuBarStyle : public QProxyStyle {
public:
    MenuBarStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element == CE_MenuBarItem && item && (item->state & State_Selected) && widget &&
            widget->hasFocus()) {
            QStyleOptionMenuItem marked(*item);
            marked.state |= State_Sunken;
            QProxyStyle::drawControl(element, &marked, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

} // namespace

QStyle *applicationStyle()
{
    return new BoxStyle;
}

QStyle *menuBarStyle(QObject *owner)
{
    auto *style = new MenuBarStyle;
    style->setParent(owner);
    return style;
}

} // namespace platform
