#pragma once

#include <QAccessibleWidget>

namespace platform {

class TranscriptBox;

// What a screen reader reads of the transcript: its text with "\n" between
// lines (the view keeps line and paragraph separators, one character each,
// so positions are the same), its caret and selection.
class TranscriptAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit TranscriptAccessible(TranscriptBox *box);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

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

    using QAccessibleWidget::text;

private:
    TranscriptBox *box() const;
};

} // namespace platform
