#pragma once

#include <QAccessibleWidget>

namespace platform {

class LongTextBox;

// What assistive technology is told of a LongTextBox: an editable text box,
// never a password field (the box's no-echo drawing is only a drawing), with
// its text, caret and selection. While the text is too long to show, the
// name says how many characters it holds ("Your Message: 100,000 characters
// to send") and the text reads as empty: a screen reader would otherwise
// fetch and speak megabytes.
class LongTextAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit LongTextAccessible(LongTextBox *box);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    LongTextBox *box() const;
    // The text as told: empty while the box shows a summary.
    QString told() const;
    int clamp(int offset) const;
};

} // namespace platform
