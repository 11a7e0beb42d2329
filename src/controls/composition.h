#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace platform {

// What an input method is composing in a one-line text box: the underlined
// part the box shows but has not taken into its text yet. A Send takes the
// whole text the box shows; take() then tells the input method that its
// composition is gone. Some engines (ibus-hangul) answer that by committing
// the composed part once more, a moment later, into the emptied box: that
// one commit, if it comes before anything else is typed, is dropped.
class Composition : public QObject
{
    Q_OBJECT

public:
    explicit Composition(QLineEdit *box);

    // The box's text with the composing part where the box shows it.
    QString shownText() const;
    bool composing() const { return !preedit_.isEmpty(); }
    // Ends the composition through the input method (QInputMethod::commit).
    void take();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *box_;
    QString preedit_;
    QString taken_; // taken by Send, until the input method hands it back
};

} // namespace platform
