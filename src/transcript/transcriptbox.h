#pragma once

#include "transcript/transcriptview.h"

#include <QAbstractScrollArea>
#include <QString>
#include <QTextLayout>
#include <QTextOption>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>

#include <deque>
#include <memory>
#include <unordered_map>

namespace platform {

// A multi-line text box that keeps its exact text, CR LF and all, and shows
// it. The text lives here and the view is drawn from a copy of it made for
// showing (see transcriptview::render): appending costs the length of what
// is added, never the length of the whole text.
//
// The view keeps its text and the start of each of its lines; only the lines
// on screen and a page around them are laid out (wrapped at the view's
// width, between words or, for a run with no space, anywhere), and kept laid
// out until the width or the font changes. The scroll bar counts lines.
//
// Text that arrives in a flood is kept at once but shown once per frame:
// the view catches up with all of a frame's arrivals in one step.
//
// The view's positions count one character for each of its own: a line
// break is one character (U+2029 where a line starts afresh, U+2028 within a
// group of lines; both read as "\n"), so they match what a screen reader is
// given.
class TranscriptBox : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TranscriptBox(QWidget *parent = nullptr);
    ~TranscriptBox() override;

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

    // The view's characters, breaks and cuts one each.
    int viewLength() const { return int(view_.size()); }
    // View characters from..to, each break as "\n".
    QString viewSlice(int from, int to) const;
    // All the view's characters, each break and cut as "\n".
    QString viewPlainText() const { return viewSlice(0, viewLength()); }
    // The caret and the selection, in view positions: the selection runs
    // from the anchor to the caret.
    int cursorPosition() const { return position_; }
    int anchorPosition() const { return anchor_; }
    bool hasSelection() const { return anchor_ != position_; }
    int selectionStart() const { return std::min(anchor_, position_); }
    int selectionEnd() const { return std::max(anchor_, position_); }
    // The selection as it is copied: breaks as "\n", squares as the characters they stand for.
    QString selectedText() const;
    // Selects from anchor to position (clamped to the view); equal, the caret alone.
    void setSelection(int anchor, int position);
    void setCursorPosition(int position) { setSelection(position, position); }
    void selectAll() { setSelection(0, viewLength()); }
    // Copies the selection to the clipboard (to the selection clipboard too
    // where there is one, as a mouse selection does).
    void copy();
    // Where the caret at a view position is drawn, in viewport coordinates,
    // and the view position nearest a viewport point.
    QRect cursorRect(int position) const;
    QRect cursorRect() const { return cursorRect(position_); }
    int positionAt(const QPoint &point) const;
    // Scrolls so that the caret's line is whole on screen.
    void ensureCursorVisible();

    // The lines as the view wraps them, each with its drawn width, from the
    // first to the last (lays out everything: for checks on small texts).
    struct WrappedLine
    {
        QString text;
        qreal width;
    };
    QList<WrappedLine> wrappedLines() const;
    // The longest line the view lays out in one piece, in characters.
    qsizetype longestLine() const;

signals:
    // The view shows what arrived through appendArrival since the last time.
    void arrivalsShown(const QString &arrived);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void keep(const QString &text);
    void trimToBound(qsizetype incoming);

    // Lines of the view, counted from the first still kept.
    qsizetype lineCount() const { return qsizetype(starts_.size()); }
    int lineStart(qsizetype line) const { return int(starts_[size_t(line)] - viewTrimmed_); }
    int lineEnd(qsizetype line) const; // before its break
    qsizetype lineAt(int position) const;
    QTextLayout *layout(qsizetype line) const;
    qreal lineHeight(qsizetype line) const;
    void dropLayouts();
    void keepLayoutsNear(qsizetype line);
    qreal textWidth() const;
    bool inFirstGroup(qsizetype line) const;
    // y of a line's top in the viewport, when it is within reach of the top line.
    qreal lineTop(qsizetype line) const;
    qreal topOffset() const;
    void updateScrollBar();
    void setTop(qsizetype line, int subLine);
    void pageStep(bool down);
    void selectionChanged(int oldStart, int oldEnd);
    void caretMoved();
    int wordStart(int position) const;
    int wordEnd(int position) const;
    void moveSelectionTo(const QPoint &point);

    QString text_;
    qsizetype shown_ = 0; // characters of text_ the view shows; the rest waits
    qsizetype crlfPairs_ = 0; // CR LF pairs in what the view shows, each one view character
    qsizetype maxChars_ = 0;
    qsizetype blockChars_ = 0; // characters in the view's last group of lines
    // Where the view cut long runs: text positions counted from the start of
    // everything ever appended, so trimming the front does not move them.
    QList<qint64> cuts_;
    qint64 trimmed_ = 0; // characters dropped from the front so far
    QString arrived_; // arrivals not yet given to arrivalsShown()
    QTimer frame_;    // runs for one frame after the view caught up with arrivals (a child, so tests reach it)

    QString view_;            // what the view shows
    qint64 viewTrimmed_ = 0;  // view characters dropped from the front so far
    qint64 linesTrimmed_ = 0; // view lines dropped from the front so far
    std::deque<qint64> starts_; // where each line starts, counted as viewTrimmed_ is

    struct Laid
    {
        std::unique_ptr<QTextLayout> layout;
        qreal height = 0;
        bool waiting = false; // drawn with squares for characters whose family is not loaded yet
    };
    mutable std::unordered_map<qint64, Laid> layouts_; // by line counted from the first ever
    QTextOption option_;
    // Families loaded for this font, and the time loading more took since
    // the last load ended less than a frame ago: a family loads in
    // milliseconds, so a frame loads only a few and the lines waiting for
    // others follow a frame later (refont_).
    mutable QSet<QString> loadedFamilies_;
    mutable QElapsedTimer loadFrame_;
    mutable qreal loadMs_ = 0;
    mutable QTimer refont_;

    qsizetype top_ = 0; // the line at the top of the view
    int topSub_ = 0;    // its first wrapped line on screen
    bool settingBar_ = false;

    int anchor_ = 0;
    int position_ = 0;
    bool focused_ = false;
    bool selecting_ = false;  // the left button is down in the view
    bool wordSelect_ = false; // ... after a double click: whole words
    int wordAnchorStart_ = 0, wordAnchorEnd_ = 0;
    QPoint pressedAt_;
    int autoScroll_ = 0; // timer scrolling a mouse selection beyond the view
};

} // namespace platform
