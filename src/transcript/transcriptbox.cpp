#include "transcript/transcriptbox.h"

#include "system/devicepixels.h"
#include "system/fonts.h"
#include "transcript/transcriptview.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <utility>

namespace platform {

namespace {

qsizetype countCrlf(QStringView text)
{
    qsizetype pairs = 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'\n' && text[i - 1] == u'\r')
            ++pairs;
    }
    return pairs;
}

} // namespace

TranscriptBox::TranscriptBox(QWidget *parent) : QPlainTextEdit(parent), frame_(this)
{
    // The view mirrors the kept text, so it is never edited in place.
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The frame whole at fractional scales, with the text box's own colour
    // (not the window's) in any sliver between the frame and the view.
    // The view ends a pixel short of the bottom edge, which it would cover
    // when it repaints alone.
    new FrameOnTop(this);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setViewportMargins(0, 0, 0, 1);
    frame_.setObjectName(QStringLiteral("frame"));
    frame_.setSingleShot(true);
    frame_.setInterval(FrameMs);
    frame_.setTimerType(Qt::PreciseTimer);
    connect(&frame_, &QTimer::timeout, this, &TranscriptBox::showArrivals);
}

QString TranscriptBox::viewText(const QString &text, bool afterCarriageReturn)
{
    return transcriptview::render(text, afterCarriageReturn, 0, {u'\n', u'\n', false, &canDraw}).text;
}

qsizetype TranscriptBox::viewPosition(qsizetype position) const
{
    position = std::clamp<qsizetype>(position, 0, shown_);
    if (position == shown_)
        return position - crlfPairs_ + cuts_.size();
    // A position between CR and LF shows after the break the CR makes; one
    // at a cut shows after the cut.
    const auto cutsBefore = std::upper_bound(cuts_.cbegin(), cuts_.cend(), trimmed_ + position) - cuts_.cbegin();
    return position - countCrlf(QStringView(text_).first(position)) + cutsBefore;
}

void TranscriptBox::markCuts(int viewStart, const QList<transcriptview::Cut> &cuts)
{
    // A block the view cut from a long run continues its line: tagged so
    // shownText() joins it to the one before without a break.
    for (const transcriptview::Cut &cut : cuts)
        document()->findBlock(viewStart + int(cut.view) + 1).setUserState(CutBlock);
}

QString TranscriptBox::shownText() const
{
    QString shown;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin() && block.userState() != CutBlock)
            shown += u'\n';
        shown += block.text();
    }
    shown.replace(QChar::LineSeparator, u'\n');
    return shown;
}

QString TranscriptBox::withExactCharacters(qsizetype viewStart, QString shown) const
{
    for (qsizetype i = shown.indexOf(QChar(transcriptview::Undrawable)); i >= 0;
         i = shown.indexOf(QChar(transcriptview::Undrawable), i + 1)) {
        // The text position the square shows: one view character for each
        // text character, so the first whose view position is the square's.
        const qsizetype view = viewStart + i;
        qsizetype low = 0, high = text_.size();
        while (low < high) {
            const qsizetype middle = low + (high - low) / 2;
            if (viewPosition(middle) < view)
                low = middle + 1;
            else
                high = middle;
        }
        if (low >= text_.size() || viewPosition(low) != view)
            continue;
        shown[i] = text_[low];
        if (text_[low].isHighSurrogate() && low + 1 < text_.size() && i + 1 < shown.size())
            shown[++i] = text_[low + 1];
    }
    return shown;
}

QMimeData *TranscriptBox::createMimeDataFromSelection() const
{
    QMimeData *data = QPlainTextEdit::createMimeDataFromSelection();
    const QTextCursor selection = textCursor();
    if (data && selection.hasSelection())
        data->setText(withExactCharacters(selection.selectionStart(), data->text()));
    return data;
}

void TranscriptBox::setText(const QString &text)
{
    text_.clear();
    shown_ = 0;
    crlfPairs_ = 0;
    blockChars_ = 0;
    cuts_.clear();
    trimmed_ = 0;
    arrived_.clear();
    setPlainText(QString());
    appendText(text);
}

void TranscriptBox::appendText(const QString &text)
{
    if (text.isEmpty())
        return;
    keep(text);
    showPending();
}

void TranscriptBox::appendArrival(const QString &text)
{
    if (text.isEmpty())
        return;
    keep(text);
    arrived_ += text;
    if (maxChars_ > 0 && text_.size() > maxChars_)
        trimToBound(0); // the kept text never waits for the view to stay bounded
    if (!frame_.isActive())
        showArrivals(); // the first arrival after a quiet frame is shown at once
}

void TranscriptBox::keep(const QString &text)
{
    trimToBound(text.size());
    text_ += text;
}

void TranscriptBox::showArrivals()
{
    if (arrived_.isEmpty())
        return; // a quiet frame: the next arrival is shown at once
    showPending();
    frame_.start();
    const QString arrived = std::exchange(arrived_, QString());
    emit arrivalsShown(arrived);
}

void TranscriptBox::showPending()
{
    if (shown_ == text_.size())
        return;
    const QStringView piece = QStringView(text_).sliced(shown_);
    const bool afterCr = shown_ > 0 && text_[shown_ - 1] == u'\r';
    crlfPairs_ += countCrlf(piece) + (afterCr && piece.front() == u'\n' ? 1 : 0);
    const qint64 pieceStart = trimmed_ + shown_;
    const transcriptview::Piece view = transcriptview::render(
        piece, afterCr, blockChars_, {QChar::LineSeparator, QChar::ParagraphSeparator, true, &canDraw});
    shown_ = text_.size();
    blockChars_ = view.blockChars;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    const int viewStart = end.position();
    end.insertText(view.text);
    for (const transcriptview::Cut &cut : view.cuts)
        cuts_.append(pieceStart + cut.text);
    markCuts(viewStart, view.cuts);
    trimToBound(0);
}

void TranscriptBox::setSelStart(qsizetype position)
{
    showPending();
    QTextCursor cursor(document());
    cursor.setPosition(static_cast<int>(viewPosition(position)));
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TranscriptBox::trimToBound(qsizetype incoming)
{
    if (maxChars_ <= 0 || text_.size() + incoming <= maxChars_)
        return;
    showPending(); // what is dropped leaves the view too
    const qsizetype total = text_.size() + incoming;
    if (total <= maxChars_)
        return;
    // Drop whole lines from the start, down to five eighths of the bound:
    // each trim copies what is kept, so trimming rarely keeps that cheap per
    // character received.
    const qsizetype keep = maxChars_ / 8 * 5;
    qsizetype cut = total - keep;
    if (cut >= text_.size())
        return; // the piece alone nearly fills the bound: trimmed once it is in
    const qsizetype lineEnd = text_.indexOf(u'\n', cut - 1);
    if (lineEnd >= 0 && lineEnd + 1 < text_.size() && lineEnd + 1 <= total - keep / 2) {
        cut = lineEnd + 1; // whole lines, unless the line is huge
    } else if ((text_[cut - 1] == u'\r' && text_[cut] == u'\n') || text_[cut - 1].isHighSurrogate()) {
        ++cut; // never between the halves of a pair (a lone CR is a break of its own)
    }
    // Nor inside a run of combining marks: the view caps a run counted from
    // its start, and what is kept must show as it would on its own.
    while (cut < text_.size()) {
        const bool pair = text_[cut].isHighSurrogate() && cut + 1 < text_.size() && text_[cut + 1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text_[cut], text_[cut + 1]) : text_[cut].unicode();
        const QChar::Category category = QChar::category(c);
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining
            && category != QChar::Mark_Enclosing)
            break;
        cut += pair ? 2 : 1;
    }
    if (cut >= text_.size())
        return;
    const qsizetype viewCut = viewPosition(cut);
    const auto droppedCuts = std::upper_bound(cuts_.cbegin(), cuts_.cend(), trimmed_ + cut) - cuts_.cbegin();
    const qsizetype droppedPairs = cut - viewCut + droppedCuts;
    QTextCursor start(document());
    start.setPosition(static_cast<int>(viewCut), QTextCursor::KeepAnchor);
    start.removeSelectedText();
    // Moved down in place within one buffer of the bound's size, so the
    // string never grows past it and no fresh memory is touched.
    if (text_.capacity() < maxChars_)
        text_.reserve(maxChars_);
    std::copy(text_.cbegin() + cut, text_.cend(), text_.begin());
    text_.truncate(text_.size() - cut);
    crlfPairs_ -= droppedPairs;
    cuts_.remove(0, droppedCuts);
    trimmed_ += cut;
    shown_ = text_.size();
    blockChars_ = document()->lastBlock().length() - 1;
}
} // namespace platform
