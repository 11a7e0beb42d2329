#include "controls/wholeedits.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

namespace platform {

WholeEdits::WholeEdits(QLineEdit *box) : QObject(box), box_(box)
{
    connect(box, &QLineEdit::textChanged, this, [this] {
        // The box's own edits leave its history to undo first; a text set
        // from outside leaves none, and these steps no longer fit it.
        if (!applying_ && !box_->isUndoAvailable())
            steps_.clear();
    });
}

void WholeEdits::apply(const QString &text, int cursor)
{
    Step before{box_->text(), box_->cursorPosition(), box_->selectionStart(), int(box_->selectedText().size())};
    steps_.push_back(std::move(before));
    qsizetype kept = 0;
    for (const Step &step : steps_)
        kept += step.text.size();
    while (steps_.size() > 1 && kept > KeptChars) {
        kept -= steps_.front().text.size();
        steps_.erase(steps_.begin());
    }
    applying_ = true;
    box_->setText(text);
    box_->setCursorPosition(cursor);
    applying_ = false;
}

void WholeEdits::replaceSelection(const QString &text)
{
    QString all = box_->text();
    int at = box_->cursorPosition();
    if (box_->hasSelectedText()) {
        at = box_->selectionStart();
        all.remove(at, box_->selectedText().size());
    }
    all.insert(at, text);
    apply(all, int(at + text.size()));
}

void WholeEdits::removeRange(int from, int to)
{
    if (from >= to)
        return;
    QString all = box_->text();
    all.remove(from, to - from);
    apply(all, from);
}

void WholeEdits::copy() const
{
    if (box_->hasSelectedText())
        QApplication::clipboard()->setText(box_->selectedText());
}

void WholeEdits::cut()
{
    if (!box_->hasSelectedText() || box_->isReadOnly())
        return;
    copy();
    const int from = box_->selectionStart();
    removeRange(from, from + int(box_->selectedText().size()));
}

bool WholeEdits::canUndo() const
{
    return box_->isUndoAvailable() || !steps_.empty();
}

bool WholeEdits::undo()
{
    if (box_->isReadOnly())
        return false;
    if (box_->isUndoAvailable()) {
        applying_ = true;
        box_->undo();
        applying_ = false;
        return true;
    }
    if (steps_.empty())
        return false;
    Step step = std::move(steps_.back());
    steps_.pop_back();
    applying_ = true;
    box_->setText(step.text);
    if (step.selectionLength > 0)
        box_->setSelection(step.selectionStart, step.selectionLength);
    else
        box_->setCursorPosition(step.cursor);
    applying_ = false;
    return true;
}

} // namespace platform
