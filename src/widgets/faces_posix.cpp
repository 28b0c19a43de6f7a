// SPDX-License-Identifier: GPL-3.0-or-later
#include "faces.h"

#include <QFont>

namespace platform {

void installFontSubstitutes()
{
    // Nothing in Debian ships these faces; the nearest metric-compatible ones stand in.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Serif"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Arial Black"), QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
}

QStringList facesFor(const QString &designFamily)
{
    return {designFamily};
}

} // namespace platform
