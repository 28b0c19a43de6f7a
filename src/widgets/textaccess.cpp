// SPDX-License-Identifier: GPL-3.0-or-later
#include "textaccess.h"

#include <QAccessibleWidget>
#include <QLineEdit>
#include <QStyle>
#include <QTextBoundaryFinder>

#include <vector>

namespace platform {

namespace {

// The offsets where pieces of the boundary's kind begin or end, 0 and the length included.
std::vector<int> pieceEdges(const QString &text, QAccessible::TextBoundaryType boundary)
{
    const int length = int(text.size());
    if (boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary ||
        boundary == QAccessible::NoBoundary)
        return {0, length}; // a line edit holds one line
    const auto kind = boundary == QAccessible::WordBoundary       ? QTextBoundaryFinder::Word
                      : boundary == QAccessible::SentenceBoundary ? QTextBoundaryFinder::Sentence
                                                                  : QTextBoundaryFinder::Grapheme;
    std::vector<int> edges{0};
    QTextBoundaryFinder finder(kind, text);
    const auto itemEdge = QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem;
    for (int at = int(finder.toNextBoundary()); at > 0 && at < length;
         at = int(finder.toNextBoundary())) {
        if (kind == QTextBoundaryFinder::Grapheme || (finder.boundaryReasons() & itemEdge))
            edges.push_back(at);
    }
    edges.push_back(length);
    return edges;
}

} // namespace

QString textPiece(const QString &text, int offset, QAccessible::TextBoundaryType boundary,
                  int where, int *start, int *end)
{
    *start = *end = -1;
    const int length = int(text.size());
    if (offset == -1)
        offset = length;
    if (length == 0 || offset < 0 || offset > length)
        return QString();
    const std::vector<int> edges = pieceEdges(text, boundary);
    // The piece holding the offset; at the very end, the last one.
    int piece = 0;
    while (piece + 2 < int(edges.size()) && edges[piece + 1] <= offset)
        ++piece;
    piece += where < 0 ? -1 : where > 0 ? 1 : 0;
    if (piece < 0 || piece + 1 >= int(edges.size()))
        return QString();
    *start = edges[piece];
    *end = edges[piece + 1];
    return text.mid(*start, *end - *start);
}

namespace {

// An editable line as screen readers see it, as Qt describes one, with its own answer for the
// pieces of text around an offset.
class EditableLine : public QAccessibleWidget,
                     public QAccessibleTextInterface,
                     public QAccessibleEditableTextInterface {
public:
    explicit EditableLine(QLineEdit *edit) : QAccessibleWidget(edit, QAccessible::EditableText)
    {
        addControllingSignal(QStringLiteral("textChanged(const QString&)"));
        addControllingSignal(QStringLiteral("returnPressed()"));
    }

    QString text(QAccessible::Text kind) const override
    {
        QString said = kind == QAccessible::Value ? shown() : QString();
        if (said.isEmpty())
            said = QAccessibleWidget::text(kind);
        if (said.isEmpty() && kind == QAccessible::Description)
            said = edit()->placeholderText();
        return said;
    }
    void setText(QAccessible::Text kind, const QString &text) override
    {
        if (kind == QAccessible::Value)
            edit()->setText(text);
        else
            QAccessibleWidget::setText(kind, text);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.readOnly = edit()->isReadOnly();
        state.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
        state.selectableText = true;
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The text interface.
    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index == 0 && edit()->hasSelectedText()) {
            *start = edit()->selectionStart();
            *end = edit()->selectionEnd();
        }
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0)
            edit()->deselect();
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0)
            edit()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int start, int end) const override
    {
        return start > end ? QString() : shown().mid(start, end - start);
    }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override
    {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override
    {
        edit()->setCursorPosition(end);
        edit()->setCursorPosition(start);
    }
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return QString();
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int *start,
                             int *end) const override
    {
        return piece(offset, boundary, -1, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int *start,
                            int *end) const override
    {
        return piece(offset, boundary, 1, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int *start,
                         int *end) const override
    {
        return piece(offset, boundary, 0, start, end);
    }

    // The editable text interface.
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString &text) override
    {
        edit()->setText(edit()->text().replace(start, end - start, text));
    }

private:
    QLineEdit *edit() const { return static_cast<QLineEdit *>(widget()); }
    // A hidden text (a password) is never read out.
    QString shown() const
    {
        return edit()->echoMode() == QLineEdit::Normal ? edit()->text() : QString();
    }
    QString piece(int offset, QAccessible::TextBoundaryType boundary, int where, int *start,
                  int *end) const
    {
        if (offset == -2)
            offset = cursorPosition();
        return textPiece(shown(), offset, boundary, where, start, end);
    }
};

// Where the line edit draws a character: its text is laid out on one line, aligned in the
// contents, two pixels in from the frame.
QRect EditableLine::characterRect(int offset) const
{
    const QString all = shown();
    if (offset < 0 || offset >= all.size())
        return {};
    const QFontMetrics metrics(edit()->font());
    const QRect room =
        edit()->contentsRect().marginsRemoved(edit()->textMargins()).adjusted(2, 0, -2, 0);
    const int width = metrics.horizontalAdvance(all);
    const Qt::Alignment align =
        QStyle::visualAlignment(edit()->layoutDirection(), edit()->alignment());
    int left = room.left();
    if (align & Qt::AlignHCenter)
        left += (room.width() - width) / 2;
    else if (align & Qt::AlignRight)
        left = room.right() - width;
    const QRect glyph(left + metrics.horizontalAdvance(all.left(offset)),
                      room.top() + (room.height() - metrics.height()) / 2,
                      metrics.horizontalAdvance(all.mid(offset, 1)), metrics.height());
    return QRect(edit()->mapToGlobal(glyph.topLeft()), glyph.size());
}

QAccessibleInterface *editableLines(const QString &className, QObject *object)
{
    auto *edit = qobject_cast<QLineEdit *>(object);
    if (!edit || className != QLatin1String("QLineEdit"))
        return nullptr;
    return new EditableLine(edit);
}

} // namespace

void answerTextQueriesSoundly()
{
    static const bool installed = [] {
        QAccessible::installFactory(editableLines);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace platform
