// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader reads of an editable line: the text, the caret and the pieces of text
// (characters, words, sentences, lines) around any offset.
#pragma once

#include <QAccessible>

class QString;

namespace platform {

// The piece of text of the boundary's kind that holds the offset (where == 0), comes before it
// (where < 0) or after it (where > 0); start and end are -1 where there is none. At the text's
// end the piece that ends there is the one "at" it. Every offset and boundary answers at once.
QString textPiece(const QString &text, int offset, QAccessible::TextBoundaryType boundary,
                  int where, int *start, int *end);

// Has every editable line of the program (the answer box, the name prompt) answer screen readers
// through textPiece. Qt 6.4's own answer for a word or sentence at the end of a line never
// returns: a screen reader's word keys froze the program.
void answerTextQueriesSoundly();

} // namespace platform
