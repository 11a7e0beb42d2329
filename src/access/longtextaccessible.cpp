#include "access/longtextaccessible.h"

#include "controls/longtextbox.h"
#include "controls/wholeedits.h"

#include <QFontMetrics>

#include <algorithm>

namespace platform {

LongTextAccessible::LongTextAccessible(LongTextBox *box) : QAccessibleWidget(box, QAccessible::EditableText) {}

LongTextBox *LongTextAccessible::box() const
{
    return static_cast<LongTextBox *>(widget());
}

QString LongTextAccessible::told() const
{
    return box()->isLong() ? QString() : box()->text();
}

int LongTextAccessible::clamp(int offset) const
{
    return std::clamp(offset, 0, characterCount());
}

void *LongTextAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State LongTextAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = !box()->isReadOnly();
    state.readOnly = box()->isReadOnly();
    state.selectableText = true;
    state.passwordEdit = false;
    return state;
}

QString LongTextAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name: {
        const QString name = QAccessibleWidget::text(QAccessible::Name);
        if (!box()->isLong())
            return name;
        return name.isEmpty() ? box()->summary() : name + u' ' + box()->summary();
    }
    case QAccessible::Value:
        return told();
    default:
        return QAccessibleWidget::text(t);
    }
}

void LongTextAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    const bool any = selectionIndex == 0 && selectionCount() == 1;
    *startOffset = any ? box()->selectionStart() : 0;
    *endOffset = any ? box()->selectionEnd() : 0;
}

int LongTextAccessible::selectionCount() const
{
    return !box()->isLong() && box()->hasSelectedText() ? 1 : 0;
}

void LongTextAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void LongTextAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        box()->deselect();
}

void LongTextAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0 || box()->isLong())
        return;
    startOffset = clamp(startOffset);
    endOffset = clamp(endOffset);
    box()->setSelection(startOffset, endOffset - startOffset);
}

int LongTextAccessible::cursorPosition() const
{
    return box()->isLong() ? 0 : box()->cursorPosition();
}

void LongTextAccessible::setCursorPosition(int position)
{
    if (!box()->isLong())
        box()->setCursorPosition(clamp(position));
}

QString LongTextAccessible::text(int startOffset, int endOffset) const
{
    const QString all = told();
    if (endOffset < 0 || endOffset > all.size())
        endOffset = int(all.size());
    startOffset = std::clamp(startOffset, 0, endOffset);
    return all.mid(startOffset, endOffset - startOffset);
}

int LongTextAccessible::characterCount() const
{
    return int(told().size());
}

QRect LongTextAccessible::characterRect(int offset) const
{
    if (box()->isLong() || offset < 0 || offset >= characterCount())
        return {};
    // From the caret, which the box places (its scrolling included), by the
    // advance of the text in between.
    const QString all = box()->text();
    const int caret = box()->cursorPosition();
    const QRect at = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const QFontMetrics metrics(box()->font());
    const int shift = offset >= caret ? metrics.horizontalAdvance(all.mid(caret, offset - caret))
                                      : -metrics.horizontalAdvance(all.mid(offset, caret - offset));
    const int width = std::max(1, metrics.horizontalAdvance(all.mid(offset, 1)));
    const QRect rect(at.left() + shift, at.top(), width, at.height());
    return QRect(box()->mapToGlobal(rect.topLeft()), rect.size());
}

int LongTextAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = box()->mapFromGlobal(point);
    if (box()->isLong() || !box()->rect().contains(local))
        return -1;
    return box()->cursorPositionAt(local);
}

void LongTextAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    setSelection(0, startIndex, endIndex);
}

QString LongTextAccessible::attributes(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0; // one plain run
    *endOffset = characterCount();
    return {};
}

void LongTextAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void LongTextAccessible::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void LongTextAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    if (box()->isReadOnly() || box()->isLong())
        return;
    startOffset = clamp(startOffset);
    endOffset = std::max(startOffset, clamp(endOffset));
    box()->setSelection(startOffset, endOffset - startOffset);
    box()->edits().replaceSelection(text);
}

} // namespace platform
