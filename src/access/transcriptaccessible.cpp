#include "access/transcriptaccessible.h"

#include "transcript/transcriptbox.h"

#include <QApplication>

namespace platform {

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
    const bool any = selectionIndex == 0 && box()->hasSelection();
    *startOffset = any ? box()->selectionStart() : 0;
    *endOffset = any ? box()->selectionEnd() : 0;
}

int TranscriptAccessible::selectionCount() const
{
    return box()->hasSelection() ? 1 : 0;
}

void TranscriptAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TranscriptAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        box()->setCursorPosition(box()->cursorPosition());
}

void TranscriptAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        box()->setSelection(startOffset, endOffset); // clamped to the text
}

int TranscriptAccessible::cursorPosition() const
{
    return box()->cursorPosition();
}

void TranscriptAccessible::setCursorPosition(int position)
{
    box()->setCursorPosition(position);
}

QString TranscriptAccessible::text(int startOffset, int endOffset) const
{
    if (endOffset < 0 || endOffset > characterCount())
        endOffset = characterCount();
    startOffset = std::clamp(startOffset, 0, endOffset);
    return box()->withExactCharacters(startOffset, box()->viewSlice(startOffset, endOffset));
}

int TranscriptAccessible::characterCount() const
{
    return box()->viewLength();
}

QRect TranscriptAccessible::characterRect(int offset) const
{
    QRect rect = box()->cursorRect(std::clamp(offset, 0, characterCount()));
    rect.setWidth(std::max(1, box()->fontMetrics().horizontalAdvance(text(offset, offset + 1))));
    return QRect(box()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int TranscriptAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = box()->viewport()->mapFromGlobal(point);
    if (!box()->viewport()->rect().contains(local))
        return -1;
    return box()->positionAt(local);
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
