#pragma once

#include <QObject>
#include <QValidator>

#include <functional>

class QLineEdit;

namespace platform {

// Keeps a one-line text box responsive however much is pasted into it. Qt
// lays a line edit's text out whole and records every inserted character for
// undo: a 10 MB paste took seconds and over a gigabyte. Beyond ShowChars
// characters the box no longer draws its text but a summary of it (`words`
// gives it for a character count), and a paste that large replaces the text
// in one step, without undo. text(), Send, selecting and deleting work as ever.
class LongTextGuard : public QValidator
{
    Q_OBJECT

public:
    static constexpr qsizetype ShowChars = 65536;

    LongTextGuard(QLineEdit *box, std::function<QString(qsizetype)> words);

    State validate(QString &input, int &pos) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Inserts `text` at the cursor, over the selection, in one step.
    void insertWhole(const QString &text);
    bool pasteIfLong(const QString &text);
    void paintSummary();

    QLineEdit *box_;
    mutable QString summary_;
    std::function<QString(qsizetype)> words_;
};

} // namespace platform
