#pragma once

#include <QLineEdit>

#include <functional>

namespace platform {

class WholeEdits;

// A one-line text box that stays quick however much is pasted into it. Qt
// lays a line edit's text out whole and records every inserted or removed
// character for undo: a 10 MB paste took seconds and over a gigabyte. Beyond
// ShowChars characters this box no longer lays out or draws its text but a
// summary of it (`words` gives it for a character count); big pastes, cuts
// and deletions happen in one step, each undone whole. Everything else is
// the text as ever: text(), selecting, copying the exact characters, typing,
// Backspace, and what assistive technology is told (see access/).
class LongTextBox : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr qsizetype ShowChars = 65536;

    LongTextBox(QWidget *parent, std::function<QString(qsizetype)> words);

    // True while the text is too long to show: the box draws summary().
    bool isLong() const { return long_; }
    QString summary() const;

    WholeEdits &edits() { return *edits_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void follow(qsizetype size);
    bool big(qsizetype size) const { return size > ShowChars; }
    // Puts `text` over the selection in one step when the result or the
    // replaced part would be long; false to let the box do it.
    bool pasteWhole(const QString &text);
    bool selectionIsBig() const;
    // A deletion key in one step: over a big selection, or anywhere while
    // the text is long (the box then has no layout to find words with).
    bool deleteWhole(QKeyEvent *event);

    std::function<QString(qsizetype)> words_;
    WholeEdits *edits_;
    qsizetype size_ = 0;
    bool long_ = false;
};

} // namespace platform
