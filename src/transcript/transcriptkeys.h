#pragma once

#include <QObject>

class QLineEdit;

namespace platform {

class TranscriptBox;

// Lets the keys that read a transcript work from the input box that keeps
// the focus: PageUp and PageDown scroll the transcript a page, Ctrl+Home and
// Ctrl+End to its start and end, and Ctrl+C copies the transcript's
// selection while nothing is selected in the input box.
class TranscriptKeys : public QObject
{
    Q_OBJECT

public:
    TranscriptKeys(QLineEdit *input, TranscriptBox *transcript);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *input_;
    TranscriptBox *transcript_;
};

} // namespace platform
