// SPDX-License-Identifier: GPL-3.0-or-later
#include "faces.h"

#include <QApplication>
#include <QFont>
#include <QHash>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>

#include <windows.h>

namespace platform {

namespace {

// A font of the system's own settings; the faces after it stand in where the system lacks the
// one it names (Wine without Windows' fonts).
QFont systemFont(const LOGFONTW &logical)
{
    QFont font;
    font.setFamilies({QString::fromWCharArray(logical.lfFaceName), QStringLiteral("Segoe UI"),
                      QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")});
    // The height is in pixels at 96 dpi; a negative one counts the letters without their leading.
    font.setPixelSize(std::max(1, int(std::abs(logical.lfHeight))));
    font.setBold(logical.lfWeight >= FW_BOLD);
    return font;
}

} // namespace

void installFontSubstitutes()
{
    // Boxes, menus and tooltips in the fonts Windows itself uses for them, not in the
    // toolkit's default face.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!qApp || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return;
    QApplication::setFont(systemFont(metrics.lfMessageFont));
    QApplication::setFont(systemFont(metrics.lfMenuFont), "QMenu");
    QApplication::setFont(systemFont(metrics.lfMenuFont), "QMenuBar");
    QToolTip::setFont(systemFont(metrics.lfStatusFont));
}

QStringList facesFor(const QString &designFamily)
{
    // "MS Sans Serif" and "MS Serif" are bitmap faces: drawn only at a few sizes and never in
    // bold, they shrink the headings and cut the captions. Windows has TrueType faces of the
    // same design; the Liberation faces follow for Wine without Windows' fonts.
    static const QHash<QString, QStringList> faces = {
        {QStringLiteral("MS Sans Serif"),
         {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"), QStringLiteral("Arial"),
          QStringLiteral("Liberation Sans")}},
        {QStringLiteral("MS Serif"),
         {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")}},
        {QStringLiteral("Arial"), {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}},
        {QStringLiteral("Times New Roman"),
         {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")}},
        {QStringLiteral("Arial Black"),
         {QStringLiteral("Arial Black"), QStringLiteral("DejaVu Sans")}},
    };
    return faces.value(designFamily, {designFamily});
}

} // namespace platform
