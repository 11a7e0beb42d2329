#pragma once

#include "transcript/transcriptview.h"

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>

namespace platform {

// A multi-line text box that keeps its exact text, CR LF and all, and shows
// it. Qt's text widgets never give back a CR, so the text lives here and the
// view only mirrors it: appending costs the length of what is added, never
// the length of the whole text.
//
// Text that arrives in a flood is kept at once but shown once per frame:
// laying the view out again costs far more than keeping the text, so the
// view catches up with all of a frame's arrivals in one step.
class TranscriptBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TranscriptBox(QWidget *parent = nullptr);

    const QString &Text() const { return text_; }
    void setText(const QString &text);
    // Keeps the text and shows it at once.
    void appendText(const QString &text);
    // Keeps the text at once and shows it once per frame: at once when
    // nothing arrived in the frame before, otherwise when the frame ends.
    // Each time the view catches up, arrivalsShown() gives what arrived.
    void appendArrival(const QString &text);
    // The view catches up with the text kept but not yet shown.
    void showPending();
    // Arrivals waiting for the frame's end are shown and given out now, so
    // that what follows them (a status) is said after them.
    void showArrivals();
    // One display refresh: the longest an arrival waits to be shown.
    static constexpr int FrameMs = 16;
    // Puts the caret at a character position of the text and brings it into view.
    void setSelStart(qsizetype position);

    // The most characters kept; beyond it whole lines are dropped from the
    // start. 0 keeps everything.
    void setMaxChars(qsizetype maxChars) { maxChars_ = maxChars; }
    qsizetype maxChars() const { return maxChars_; }

    // What the view shows for a piece of text, as plain text: line breaks
    // (CR LF, lone CR, lone LF) as one "\n" each, control characters as
    // visible symbols, what no font shows as a square (see
    // transcriptview::render).
    static QString viewText(const QString &text, bool afterCarriageReturn);
    // The view position of a text position.
    qsizetype viewPosition(qsizetype position) const;
    // What the view shows, as plain text: line breaks as LF, the view's own
    // cuts of long runs left out. Equals viewText(Text()).
    QString shownText() const;
    // What the view shows from a view position on, each square that stands
    // for a character no font shows given back as that character: the text
    // that copying and assistive technology take.
    QString withExactCharacters(qsizetype viewStart, QString shown) const;

protected:
    QMimeData *createMimeDataFromSelection() const override;

signals:
    // The view shows what arrived through appendArrival since the last time.
    void arrivalsShown(const QString &arrived);

private:
    static constexpr int CutBlock = 1; // user state of a block that a cut started
    void keep(const QString &text);
    void trimToBound(qsizetype incoming);
    void markCuts(int viewStart, const QList<transcriptview::Cut> &cuts);

    QString text_;
    qsizetype shown_ = 0; // characters of text_ the view shows; the rest waits
    qsizetype crlfPairs_ = 0; // CR LF pairs in what the view shows, each one view character
    qsizetype maxChars_ = 0;
    qsizetype blockChars_ = 0; // characters in the view's last block
    // Where the view cut long runs: text positions counted from the start of
    // everything ever appended, so trimming the front does not move them.
    QList<qint64> cuts_;
    qint64 trimmed_ = 0; // characters dropped from the front so far
    QString arrived_; // arrivals not yet given to arrivalsShown()
    QTimer frame_;    // runs for one frame after the view caught up with arrivals (a child, so tests reach it)
};

} // namespace platform
