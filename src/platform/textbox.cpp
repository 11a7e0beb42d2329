#include "platform/textbox.h"

#include "platform/devicepixels.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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

TranscriptBox::TranscriptBox(QWidget *parent) : QPlainTextEdit(parent)
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
}

namespace {

// The view's text for a piece: breaks become `paragraph` where a new block
// starts and `line` elsewhere; controls become visible symbols. With `cuts`,
// long runs without a break are cut into blocks, and the text positions of
// the cuts are added to it.
QString mirror(const QString &text, bool afterCarriageReturn, char16_t line, char16_t paragraph,
               qsizetype &blockChars, qsizetype groupChars, QList<TranscriptBox::Cut> *cuts = nullptr)
{
    const qsizetype room = cuts ? text.size() / TranscriptBox::SoftBlockChars + 1 : 0;
    QString view(text.size() + room, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(view.data());
    char16_t *const begin = out;
    const char16_t *const textBegin = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *in = textBegin;
    const char16_t *const end = in + text.size();
    bool previousCr = afterCarriageReturn;
    bool firstBreak = true;
    qsizetype blockStart = -blockChars; // view index where the last block starts
    for (; in != end; ++in) {
        const char16_t u = *in;
        if (u >= 0x20 && u != 0x7F && (u < 0x2028 || (u > 0x2029 && (u < 0xFDD0 || u > 0xFDD1)))) {
            if (cuts && (out - begin) - blockStart >= TranscriptBox::SoftBlockChars && !QChar::isLowSurrogate(u)) {
                cuts->append({in - textBegin, out - begin}); // a long run: the view starts a block here
                *out++ = paragraph;
                blockStart = out - begin;
            }
            *out++ = u; // the common case first
            previousCr = false;
            continue;
        }
        if (u == u'\r' || u == u'\n' || u == 0x2028) {
            // The LF of a CR LF pair adds nothing to the CR's break.
            if (!(u == u'\n' && previousCr)) {
                const bool newBlock = firstBreak || (out - begin) - blockStart >= groupChars;
                *out++ = newBlock ? paragraph : line;
                if (newBlock)
                    blockStart = out - begin;
                firstBreak = false;
            }
            previousCr = u == u'\r';
            continue;
        }
        previousCr = false;
        if (u == u'\t')
            *out++ = u;
        else if (u < 0x20)
            *out++ = char16_t(0x2400 + u); // control pictures
        else if (u == 0x7F)
            *out++ = 0x2421;
        else if (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            *out++ = QChar::ReplacementCharacter; // paragraph and frame marks of the view
        else
            *out++ = u;
    }
    view.truncate(out - begin);
    blockChars = (out - begin) - blockStart;
    return view;
}

} // namespace

QString TranscriptBox::viewText(const QString &text, bool afterCarriageReturn)
{
    qsizetype blockChars = 0;
    return mirror(text, afterCarriageReturn, u'\n', u'\n', blockChars, GroupChars);
}

QString TranscriptBox::insertionText(const QString &text, bool afterCarriageReturn, QList<Cut> &cuts)
{
    return mirror(text, afterCarriageReturn, QChar::LineSeparator, QChar::ParagraphSeparator, blockChars_,
                  GroupChars, &cuts);
}

qsizetype TranscriptBox::viewPosition(qsizetype position) const
{
    position = std::clamp<qsizetype>(position, 0, text_.size());
    if (position == text_.size())
        return position - crlfPairs_ + cuts_.size();
    // A position between CR and LF shows after the break the CR makes; one
    // at a cut shows after the cut.
    const auto cutsBefore = std::upper_bound(cuts_.cbegin(), cuts_.cend(), trimmed_ + position) - cuts_.cbegin();
    return position - countCrlf(QStringView(text_).first(position)) + cutsBefore;
}

void TranscriptBox::markCuts(int viewStart, const QList<Cut> &cuts)
{
    // A block the view cut from a long run continues its line: tagged so
    // shownText() joins it to the one before without a break.
    for (const Cut &cut : cuts)
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

void TranscriptBox::setText(const QString &text)
{
    text_.clear();
    crlfPairs_ = 0;
    blockChars_ = 0;
    cuts_.clear();
    trimmed_ = 0;
    setPlainText(QString());
    appendText(text);
}

void TranscriptBox::appendText(const QString &text)
{
    if (text.isEmpty())
        return;
    trimToBound(text.size());
    const bool afterCr = !text_.isEmpty() && text_.back() == u'\r';
    crlfPairs_ += countCrlf(text) + (afterCr && text.front() == u'\n' ? 1 : 0);
    const qint64 pieceStart = trimmed_ + text_.size();
    text_ += text;
    QList<Cut> cuts;
    const QString view = insertionText(text, afterCr, cuts);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    const int viewStart = end.position();
    end.insertText(view);
    for (const Cut &cut : cuts)
        cuts_.append(pieceStart + cut.text);
    markCuts(viewStart, cuts);
    trimToBound(0);
}

void TranscriptBox::setSelStart(qsizetype position)
{
    QTextCursor cursor(document());
    cursor.setPosition(static_cast<int>(viewPosition(position)));
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TranscriptBox::trimToBound(qsizetype incoming)
{
    const qsizetype total = text_.size() + incoming;
    if (maxChars_ <= 0 || total <= maxChars_)
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
    } else if (text_[cut - 1] == u'\r' || text_[cut - 1].isHighSurrogate()) {
        ++cut; // never between the halves of a pair
    }
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
    blockChars_ = document()->lastBlock().length() - 1;
}
} // namespace platform
