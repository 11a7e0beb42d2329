#include "access/transcriptaccessible.h"

#include "transcript/transcriptbox.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextCursor>

namespace platform {

namespace {

int clampOffset(const TranscriptBox *box, int offset)
{
    return std::clamp(offset, 0, box->document()->characterCount() - 1);
}

} // namespace

TranscriptAccessible::TranscriptAccessible(TranscriptBox *box) : QAccessibleWidget(box, QAccessible::EditableText) {}

TranscriptBox *TranscriptAccessible::box() const
{
    return static_cast<TranscriptBox *>(widget());
}

void *TranscriptAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TranscriptAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    // hasFocus() is true while its focus proxy, the input box, has the
    // focus: a screen reader that looks for the focused control would stop
    // here first.
    state.focused = QApplication::focusWidget() == widget();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

void TranscriptAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    const QTextCursor cursor = box()->textCursor();
    const bool any = selectionIndex == 0 && cursor.hasSelection();
    *startOffset = any ? cursor.selectionStart() : 0;
    *endOffset = any ? cursor.selectionEnd() : 0;
}

int TranscriptAccessible::selectionCount() const
{
    return box()->textCursor().hasSelection() ? 1 : 0;
}

void TranscriptAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TranscriptAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex != 0)
        return;
    QTextCursor cursor = box()->textCursor();
    cursor.clearSelection();
    box()->setTextCursor(cursor);
}

void TranscriptAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    QTextCursor cursor = box()->textCursor();
    cursor.setPosition(clampOffset(box(), startOffset));
    cursor.setPosition(clampOffset(box(), endOffset), QTextCursor::KeepAnchor);
    box()->setTextCursor(cursor);
}

int TranscriptAccessible::cursorPosition() const
{
    return box()->textCursor().position();
}

void TranscriptAccessible::setCursorPosition(int position)
{
    QTextCursor cursor = box()->textCursor();
    cursor.setPosition(clampOffset(box(), position));
    box()->setTextCursor(cursor);
}

QString TranscriptAccessible::text(int startOffset, int endOffset) const
{
    if (endOffset < 0 || endOffset > characterCount())
        endOffset = characterCount();
    startOffset = std::clamp(startOffset, 0, endOffset);
    QTextCursor cursor(box()->document());
    cursor.setPosition(startOffset);
    cursor.setPosition(endOffset, QTextCursor::KeepAnchor);
    QString text = box()->withExactCharacters(startOffset, cursor.selectedText());
    for (QChar &c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    }
    return text;
}

int TranscriptAccessible::characterCount() const
{
    return box()->document()->characterCount() - 1; // without the document's closing mark
}

QRect TranscriptAccessible::characterRect(int offset) const
{
    QTextCursor cursor(box()->document());
    cursor.setPosition(clampOffset(box(), offset));
    QRect rect = box()->cursorRect(cursor);
    rect.setWidth(std::max(1, box()->fontMetrics().horizontalAdvance(text(offset, offset + 1))));
    return QRect(box()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int TranscriptAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = box()->viewport()->mapFromGlobal(point);
    if (!box()->viewport()->rect().contains(local))
        return -1;
    return box()->cursorForPosition(local).position();
}

void TranscriptAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    setSelection(0, startIndex, endIndex);
    box()->ensureCursorVisible();
}

QString TranscriptAccessible::attributes(int, int *startOffset, int *endOffset) const
{
    // One plain run: the transcript has no styled text.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

} // namespace platform
