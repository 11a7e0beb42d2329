#pragma once

#include <QObject>
#include <QString>

#include <vector>

class QLineEdit;

namespace platform {

// Edits of a one-line text box made in one step each, whatever their size:
// putting text over the selection (or at the cursor), removing a range,
// cutting and copying the selection. A line edit's own editing records every
// character it removes for undo (a 10 MB cut would take seconds and hundreds
// of megabytes); these keep the text before the step instead, so Undo takes
// back a whole step. Undo goes to the box's own history first while it has
// one, then to these steps; a text set from outside (setText) forgets them.
class WholeEdits : public QObject
{
    Q_OBJECT

public:
    explicit WholeEdits(QLineEdit *box);

    void replaceSelection(const QString &text);
    void removeRange(int from, int to);
    // The exact characters of the selection to the clipboard.
    void copy() const;
    void cut();
    // Undoes the last edit, the box's own or one of these; false if none.
    bool undo();
    bool canUndo() const;

    // Text kept for undo, at most (the newest step is always kept).
    static constexpr qsizetype KeptChars = 32 << 20;

private:
    struct Step
    {
        QString text;
        int cursor;
        int selectionStart;
        int selectionLength;
    };
    void apply(const QString &text, int cursor);

    QLineEdit *box_;
    std::vector<Step> steps_;
    bool applying_ = false;
};

} // namespace platform
