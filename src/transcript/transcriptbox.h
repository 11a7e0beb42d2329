#pragma once

#include "transcript/transcriptview.h"

#include <QPlainTextEdit>
#include <QString>

namespace platform {

// A multi-line text box that keeps its exact text, CR LF and all, and shows
// it. Qt's text widgets never give back a CR, so the text lives here and the
// view only mirrors it: appending costs the length of what is added, never
// the length of the whole text.
class TranscriptBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TranscriptBox(QWidget *parent = nullptr);

    const QString &Text() const { return text_; }
    void setText(const QString &text);
    void appendText(const QString &text);
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

private:
    static constexpr int CutBlock = 1; // user state of a block that a cut started
    void trimToBound(qsizetype incoming);
    void markCuts(int viewStart, const QList<transcriptview::Cut> &cuts);

    QString text_;
    qsizetype crlfPairs_ = 0; // CR LF pairs in text_, each one view character
    qsizetype maxChars_ = 0;
    qsizetype blockChars_ = 0; // characters in the view's last block
    // Where the view cut long runs: text positions counted from the start of
    // everything ever appended, so trimming the front does not move them.
    QList<qint64> cuts_;
    qint64 trimmed_ = 0; // characters dropped from the front so far
};

} // namespace platform
