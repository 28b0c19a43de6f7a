// SPDX-License-Identifier: GPL-3.0-or-later
#include "appstyle.h"

#include <QProxyStyle>
#include <QStyleFactory>

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

} // namespace

QStyle *applicationStyle()
{
    return new BoxStyle;
}

} // namespace platform
