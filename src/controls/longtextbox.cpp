#include "controls/longtextbox.h"

#include "controls/textsizewatch.h"
#include "controls/textsummary.h"
#include "controls/wholeedits.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextBoundaryFinder>

#include <limits>

namespace platform {

LongTextBox::LongTextBox(QWidget *parent, std::function<QString(qsizetype)> words)
    : QLineEdit(parent), words_(std::move(words)), edits_(new WholeEdits(this))
{
    setMaxLength(std::numeric_limits<int>::max()); // a line edit stops at 32,767 unless told
    // Switches to the summary before a long text is ever laid out.
    setValidator(new TextSizeWatch(this, [this](qsizetype size) { follow(size); }));
}

QString LongTextBox::summary() const
{
    return words_(size_);
}

void LongTextBox::follow(qsizetype size)
{
    size_ = size;
    const bool hide = big(size);
    if (hide == long_)
        return;
    long_ = hide;
    // No echo lays nothing out. It also marks the text hidden for input
    // methods (IBus then turns itself off, as for a password): the hints
    // stay those of a plain text box.
    const Qt::InputMethodHints hints = inputMethodHints();
    setEchoMode(hide ? QLineEdit::NoEcho : QLineEdit::Normal);
    setInputMethodHints(hints);
    // What a screen reader is told changes: the name carries the count.
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
}

bool LongTextBox::selectionIsBig() const
{
    return big(selectionLength());
}

bool LongTextBox::pasteWhole(const QString &text)
{
    if (isReadOnly())
        return false;
    if (!big(text.size() + size_ - selectionLength()) && !selectionIsBig())
        return false;
    edits_->replaceSelection(text);
    return true;
}

bool LongTextBox::deleteWhole(QKeyEvent *event)
{
    if (isReadOnly())
        return false;
    const bool backspace = event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier;
    const bool del = event->matches(QKeySequence::Delete);
    const bool word = event->matches(QKeySequence::DeleteStartOfWord) || event->matches(QKeySequence::DeleteEndOfWord)
        || (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::ControlModifier);
    const bool toEnd = event->matches(QKeySequence::DeleteEndOfLine);
    const bool wholeLine = event->matches(QKeySequence::DeleteCompleteLine);
    if (!(backspace || del || word || toEnd || wholeLine))
        return false;
    if (toEnd || wholeLine) {
        if (!long_)
            return false; // a short text: the box's own way is quick
        // As the box's own: the line, or the rest of it, is cut.
        if (wholeLine)
            selectAll();
        else
            setSelection(cursorPosition(), int(size_ - cursorPosition()));
        edits_->cut();
        return true;
    }
    if (hasSelectedText()) {
        if (!selectionIsBig() && !long_)
            return false;
        edits_->removeRange(selectionStart(), selectionStart() + selectionLength());
        return true;
    }
    if (!long_ || backspace || del)
        return false; // one character: the box's own way is quick
    const QString all = text();
    const int at = cursorPosition();
    // The next word boundary, found in a window around the cursor.
    const bool back = !event->matches(QKeySequence::DeleteEndOfWord);
    constexpr int Window = 256;
    const int from = back ? std::max(0, at - Window) : at;
    const int to = back ? at : int(std::min<qsizetype>(all.size(), at + Window));
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, all.mid(from, to - from));
    words.setPosition(back ? to - from : 0);
    const QString near = all.mid(from, to - from);
    auto blank = [&](qsizetype a, qsizetype b) { return near.mid(a, b - a).trimmed().isEmpty(); };
    qsizetype edge = back ? words.toPreviousBoundary() : words.toNextBoundary();
    // As the box's own word keys: back over the spaces and the word
    // before them; forward over a word and the spaces after it.
    if (back && edge > 0 && blank(edge, to - from))
        edge = words.toPreviousBoundary();
    else if (!back && edge > 0 && !blank(0, edge)) {
        const qsizetype wordEnd = edge;
        const qsizetype next = words.toNextBoundary();
        edge = next > 0 && blank(wordEnd, next) ? next : wordEnd;
    }
    if (edge < 0)
        edge = back ? 0 : to - from;
    if (back)
        edits_->removeRange(int(from + edge), at);
    else
        edits_->removeRange(at, int(from + edge));
    return true;
}

void LongTextBox::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        if (long_) { // the box's own copy refuses a text it does not echo
            edits_->copy();
            return;
        }
    } else if (event->matches(QKeySequence::Cut)) {
        if (long_ || selectionIsBig()) {
            edits_->cut();
            return;
        }
    } else if (event->matches(QKeySequence::Paste)) {
        if (pasteWhole(QApplication::clipboard()->text()))
            return;
    } else if (event->matches(QKeySequence::Undo)) {
        edits_->undo();
        return;
    } else if (deleteWhole(event)) {
        return;
    } else if (!event->text().isEmpty() && event->text().at(0).isPrint() && selectionIsBig()
               && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        edits_->replaceSelection(event->text()); // typed over a big selection
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void LongTextBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()
        && pasteWhole(QApplication::clipboard()->text(QClipboard::Selection))) {
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void LongTextBox::dropEvent(QDropEvent *event)
{
    if (event->mimeData()->hasText() && pasteWhole(event->mimeData()->text())) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dropEvent(event);
}

void LongTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    // The box's own menu, its edits made the way the keys make them.
    QMenu *menu = createStandardContextMenu();
    const bool editable = !isReadOnly();
    for (QAction *action : menu->actions()) {
        const QString name = action->objectName();
        auto redo = [&](auto handler) {
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, handler);
        };
        if (name == QLatin1String("edit-undo")) {
            action->setEnabled(editable && edits_->canUndo());
            redo([this] { edits_->undo(); });
        } else if (name == QLatin1String("edit-cut")) {
            action->setEnabled(editable && hasSelectedText());
            redo([this] { edits_->cut(); });
        } else if (name == QLatin1String("edit-copy")) {
            action->setEnabled(hasSelectedText());
            redo([this] { edits_->copy(); });
        } else if (name == QLatin1String("edit-paste")) {
            redo([this] {
                if (!pasteWhole(QApplication::clipboard()->text()))
                    paste();
            });
        } else if (name == QLatin1String("edit-delete")) {
            action->setEnabled(editable && hasSelectedText());
            redo([this] { edits_->removeRange(selectionStart(), selectionStart() + selectionLength()); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void LongTextBox::paintEvent(QPaintEvent *event)
{
    // The box's own painting measures its whole text, every time.
    if (long_)
        paintSummary(this, summary());
    else
        QLineEdit::paintEvent(event);
}

} // namespace platform
