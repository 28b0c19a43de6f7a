// SPDX-License-Identifier: GPL-3.0-or-later
// The name saved with each score by the record saver, so a pair on disk can be checked.
#pragma once

#include <QString>

namespace saverecordname {

// Names differ in length as well, so a name cut short or mixed with another shows.
inline QString nameFor(int score)
{
    return QStringLiteral("giocatore %1 ").arg(score) + QString(score % 37, u'è');
}

} // namespace saverecordname
