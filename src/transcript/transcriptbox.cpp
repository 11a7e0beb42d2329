#include "transcript/transcriptbox.h"

#include "system/devicepixels.h"
#include "system/fontfallbacks.h"
#include "system/fonts.h"
#include "transcript/transcriptview.h"

#include <QAccessible>
#include <QAction>
#include <QIcon>
#include <QtMath>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QTextBoundaryFinder>
#include <QVarLengthArray>

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// The room left around the text, on every side.
constexpr qreal Margin = 4;
// The lines kept laid out beyond those on screen.
constexpr int KeptLayouts = 64;
// What loading one font family takes, about, before it is measured, and the
// time a frame may spend loading families.
constexpr qreal FamilyLoadMs = 6;
constexpr qreal FrameLoadMs = 16;

qsizetype countCrlf(QStringView text)
{
    qsizetype pairs = 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'\n' && text[i - 1] == u'\r')
            ++pairs;
    }
    return pairs;
}

bool isBreakMark(QChar c)
{
    return c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

QString withLineFeeds(QStringView view)
{
    QString text = view.toString();
    for (QChar &c : text) {
        if (isBreakMark(c))
            c = u'\n';
    }
    return text;
}

} // namespace

TranscriptBox::TranscriptBox(QWidget *parent) : QAbstractScrollArea(parent), frame_(this)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    // Wrapped at the view's width, between words or, for a run with no
    // space, anywhere; tabs every 80 pixels.
    option_.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option_.setTabStopDistance(80);
    // The frame whole at fractional scales, with the text box's own colour
    // (not the window's) in any sliver between the frame and the view.
    // The view ends a pixel short of the bottom edge, which it would cover
    // when it repaints alone.
    new FrameOnTop(this);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setViewportMargins(0, 0, 0, 1);
    starts_.push_back(0);
    // A page moves by what is on screen, wrapped lines counted one by one.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderPageStepAdd || action == QAbstractSlider::SliderPageStepSub)
            pageStep(action == QAbstractSlider::SliderPageStepAdd);
    });
    frame_.setObjectName(QStringLiteral("frame"));
    frame_.setSingleShot(true);
    frame_.setInterval(FrameMs);
    frame_.setTimerType(Qt::PreciseTimer);
    connect(&frame_, &QTimer::timeout, this, &TranscriptBox::showArrivals);
    refont_.setSingleShot(true);
    refont_.setInterval(FrameMs);
    connect(&refont_, &QTimer::timeout, this, [this] {
        // The lines drawn with squares while their families loaded, afresh.
        for (auto it = layouts_.begin(); it != layouts_.end();)
            it = it->second.waiting ? layouts_.erase(it) : std::next(it);
        updateScrollBar();
        viewport()->update();
    });
}

TranscriptBox::~TranscriptBox() = default;

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

QString TranscriptBox::shownText() const
{
    // A cut of a long run continues its line: left out.
    QString shown;
    shown.reserve(view_.size());
    qsizetype from = 0;
    for (qsizetype i = 0; i < cuts_.size(); ++i) {
        const qsizetype at = viewPosition(qsizetype(cuts_[i] - trimmed_)) - 1;
        shown += QStringView(view_).sliced(from, at - from);
        from = at + 1;
    }
    shown += QStringView(view_).sliced(from);
    for (QChar &c : shown) {
        if (isBreakMark(c))
            c = u'\n';
    }
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

QString TranscriptBox::viewSlice(int from, int to) const
{
    to = std::clamp(to, 0, viewLength());
    from = std::clamp(from, 0, to);
    return withLineFeeds(QStringView(view_).sliced(from, to - from));
}

void TranscriptBox::setText(const QString &text)
{
    const int removed = viewLength();
    text_.clear();
    shown_ = 0;
    crlfPairs_ = 0;
    blockChars_ = 0;
    cuts_.clear();
    trimmed_ = 0;
    arrived_.clear();
    viewTrimmed_ += view_.size();
    linesTrimmed_ += lineCount();
    view_.clear();
    starts_.clear();
    starts_.push_back(viewTrimmed_);
    layouts_.clear();
    top_ = linesTrimmed_;
    topSub_ = 0;
    anchor_ = position_ = 0;
    if (removed > 0 && QAccessible::isActive()) {
        QAccessibleTextRemoveEvent event(this, 0, QString(removed, u' '));
        QAccessible::updateAccessibility(&event);
    }
    updateScrollBar();
    viewport()->update();
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
    if (!platform::fontCoverageReady()) {
        // Just after start-up the search for what the fonts show may still
        // run: the view waits for it a frame at a time, not the window.
        frame_.start();
        return;
    }
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
    for (const transcriptview::Cut &cut : view.cuts)
        cuts_.append(pieceStart + cut.text);
    // The last line grows: laid out afresh. Each break starts a line.
    layouts_.erase(linesTrimmed_ + lineCount() - 1);
    const qsizetype viewStart = view_.size();
    if (maxChars_ > 0 && view_.capacity() < maxChars_)
        view_.reserve(maxChars_ + maxChars_ / transcriptview::SoftBlockChars + 16);
    view_ += view.text;
    const QChar *chars = view_.constData();
    for (qsizetype i = viewStart; i < view_.size(); ++i) {
        if (isBreakMark(chars[i]))
            starts_.push_back(viewTrimmed_ + i + 1);
    }
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent event(this, int(viewStart), view.text);
        QAccessible::updateAccessibility(&event);
    }
    trimToBound(0);
    updateScrollBar();
    viewport()->update();
}

void TranscriptBox::setSelStart(qsizetype position)
{
    showPending();
    setCursorPosition(int(viewPosition(position)));
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
    // Moved down in place within one buffer of the bound's size, so the
    // strings never grow past it and no fresh memory is touched.
    if (text_.capacity() < maxChars_)
        text_.reserve(maxChars_);
    std::copy(text_.cbegin() + cut, text_.cend(), text_.begin());
    text_.truncate(text_.size() - cut);
    std::copy(view_.cbegin() + viewCut, view_.cend(), view_.begin());
    view_.truncate(view_.size() - viewCut);
    crlfPairs_ -= droppedPairs;
    cuts_.remove(0, droppedCuts);
    trimmed_ += cut;
    shown_ = text_.size();
    // The lines that start before the cut go; the one it falls in starts there.
    viewTrimmed_ += viewCut;
    qsizetype dropped = 0;
    while (dropped + 1 < lineCount() && starts_[size_t(dropped + 1)] <= viewTrimmed_)
        ++dropped;
    for (qsizetype i = 0; i <= dropped; ++i)
        layouts_.erase(linesTrimmed_ + i);
    starts_.erase(starts_.begin(), starts_.begin() + dropped);
    starts_.front() = viewTrimmed_;
    linesTrimmed_ += dropped;
    // The last group of lines, as a new piece continues it.
    const int lastBlock = int(view_.lastIndexOf(QChar::ParagraphSeparator));
    blockChars_ = view_.size() - (lastBlock + 1);
    if (top_ < linesTrimmed_) {
        top_ = linesTrimmed_;
        topSub_ = 0;
    }
    const int oldStart = selectionStart(), oldEnd = selectionEnd();
    const int oldPosition = position_;
    anchor_ = int(std::max<qsizetype>(0, anchor_ - viewCut));
    position_ = int(std::max<qsizetype>(0, position_ - viewCut));
    if (QAccessible::isActive()) {
        QAccessibleTextRemoveEvent event(this, 0, QString(viewCut, u' '));
        QAccessible::updateAccessibility(&event);
    }
    if (oldStart != oldEnd && oldStart < viewCut)
        selectionChanged(-1, -1);
    else if (oldPosition != position_)
        caretMoved();
}

// Lines and their layouts.

int TranscriptBox::lineEnd(qsizetype line) const
{
    return line + 1 < lineCount() ? lineStart(line + 1) - 1 : viewLength();
}

qsizetype TranscriptBox::lineAt(int position) const
{
    const auto it = std::upper_bound(starts_.cbegin(), starts_.cend(), viewTrimmed_ + position);
    return std::max<qsizetype>(0, (it - starts_.cbegin()) - 1);
}

qreal TranscriptBox::textWidth() const
{
    const int width = viewport()->width();
    return (width > 0 ? qreal(width) : qreal(INT_MAX)) - 2 * Margin;
}

QTextLayout *TranscriptBox::layout(qsizetype line) const
{
    Laid &laid = layouts_[linesTrimmed_ + line];
    if (laid.layout)
        return laid.layout.get();
    const int start = lineStart(line);
    QString shown = view_.mid(start, lineEnd(line) - start);
    laid.waiting = false;
    // Characters the font's own face lacks are drawn with the family Qt
    // would pick, named here so Qt does not search for it. A family not
    // loaded yet loads now if this frame has time left; otherwise its
    // characters show as squares until the next frame.
    QList<QTextLayout::FormatRange> families;
    QElapsedTimer loading;
    int loads = 0;
    for (const platform::FontFallbacks::Run &run : platform::fallbacksFor(font().family()).runs(shown)) {
        // Qt loads a family once for each script it draws with it.
        QVarLengthArray<QString, 4> fresh;
        int scripts = 0;
        for (int i = run.start; i < run.start + run.length; ++i) {
            const bool pair =
                shown[i].isHighSurrogate() && i + 1 < run.start + run.length && shown[i + 1].isLowSurrogate();
            const QChar::Script script = QChar::script(pair ? QChar::surrogateToUcs4(shown[i], shown[i + 1])
                                                            : char32_t(shown[i].unicode()));
            i += pair ? 1 : 0;
            // Common and inherited characters take their neighbours' script;
            // a run of nothing else counts as the common one.
            if (script <= QChar::Script_Common && (i + 1 < run.start + run.length || scripts > 0))
                continue;
            ++scripts;
            QString key = run.family;
            key += QChar(ushort(script <= QChar::Script_Latin ? QChar::Script_Common : script));
            if (!loadedFamilies_.contains(key) && !fresh.contains(key))
                fresh.append(std::move(key));
        }
        if (!fresh.isEmpty()) {
            if (!loadFrame_.isValid() || loadFrame_.elapsed() >= FrameMs) {
                loadFrame_.start();
                loadMs_ = 0;
            }
            const bool first = loadMs_ == 0 && loads == 0; // a frame loads one at least
            if (!first && loadMs_ + (loads + fresh.size()) * FamilyLoadMs > FrameLoadMs) {
                for (int i = run.start; i < run.start + run.length; ++i)
                    shown[i] = shown[i].isLowSurrogate() ? QChar(0x2060) : QChar(transcriptview::Undrawable);
                laid.waiting = true;
                continue;
            }
            if (loads == 0)
                loading.start();
            loads += int(fresh.size());
            for (QString &key : fresh)
                loadedFamilies_.insert(std::move(key));
        }
        QTextCharFormat format;
        format.setFontFamilies(QStringList{run.family});
        families.append({run.start, run.length, format});
    }
    if (laid.waiting && !refont_.isActive())
        refont_.start();
    laid.layout = std::make_unique<QTextLayout>(shown, font(), viewport());
    QTextLayout *layout = laid.layout.get();
    layout->setFormats(families);
    layout->setTextOption(option_);
    layout->setCacheEnabled(true);
    const qreal width = textWidth();
    qreal height = 0;
    layout->beginLayout();
    for (QTextLine textLine = layout->createLine(); textLine.isValid(); textLine = layout->createLine()) {
        textLine.setLeadingIncluded(true);
        textLine.setLineWidth(width);
        textLine.setPosition(QPointF(Margin, height));
        height += textLine.height();
        if (textLine.leading() < 0)
            height += qCeil(textLine.leading());
    }
    layout->endLayout();
    laid.height = layout->boundingRect().bottom();
    if (loads > 0) {
        // An estimate until measured: the families load as the layout shapes.
        // The budget is renewed a frame after the last load ended, not a frame
        // after the first began: a load longer than a frame would otherwise
        // renew it at once, and the same pass would go on loading.
        loadMs_ += std::max<qreal>(loading.nsecsElapsed() / 1e6, loads * FamilyLoadMs);
        loadFrame_.start();
    }
    return layout;
}

qreal TranscriptBox::lineHeight(qsizetype line) const
{
    layout(line);
    return layouts_[linesTrimmed_ + line].height;
}

void TranscriptBox::dropLayouts()
{
    layouts_.clear();
}

void TranscriptBox::keepLayoutsNear(qsizetype line)
{
    if (layouts_.size() <= 2 * KeptLayouts)
        return;
    const qint64 near = linesTrimmed_ + line;
    for (auto it = layouts_.begin(); it != layouts_.end();) {
        if (it->first < near - KeptLayouts || it->first > near + KeptLayouts)
            it = layouts_.erase(it);
        else
            ++it;
    }
}

// Scrolling: the top line, and the first of its wrapped lines on screen.

qreal TranscriptBox::topOffset() const
{
    const qsizetype top = top_ - linesTrimmed_;
    // The top line may have been laid out afresh since (it grew, or lost its start).
    const int sub = std::min(topSub_, layout(top)->lineCount() - 1);
    if (top == 0 && sub <= 0)
        return Margin;
    if (sub <= 0)
        return 0;
    return -layout(top)->lineAt(sub - 1).naturalTextRect().bottom();
}

qreal TranscriptBox::lineTop(qsizetype line) const
{
    // Counted from the top line, no further than two views away: a line
    // beyond that is placed where the count stopped.
    const qreal reach = 2 * viewport()->height() + 1;
    qreal y = topOffset();
    const qsizetype top = top_ - linesTrimmed_;
    for (qsizetype l = top; l < line && y <= reach; ++l)
        y += lineHeight(l);
    for (qsizetype l = top; l > line && y >= -reach; --l)
        y -= lineHeight(l - 1);
    return y;
}

void TranscriptBox::updateScrollBar()
{
    // The last lines that fit: the highest top, and a page of lines.
    const qreal visible = viewport()->rect().height() - Margin - 1;
    qsizetype endLine = lineCount() - 1;
    int endSub = 0;
    qreal y = 0;
    for (qsizetype line = lineCount() - 1; line >= 0; --line) {
        y += lineHeight(line) + (line == lineCount() - 1 ? Margin : 0);
        QTextLayout *lines = layout(line);
        endLine = line;
        endSub = 0;
        if (y > visible) {
            int sub = 0;
            while (sub < lines->lineCount() && lines->lineAt(sub).naturalTextRect().top() < y - visible)
                ++sub;
            if (sub == lines->lineCount()) {
                endLine = line + 1;
                sub = 0;
            }
            endSub = sub;
            break;
        }
    }
    if (endLine >= lineCount()) {
        endLine = lineCount() - 1;
        endSub = layout(endLine)->lineCount() - 1;
    }
    settingBar_ = true;
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, int(endLine));
    bar->setPageStep(int(lineCount() - endLine));
    const qsizetype top = top_ - linesTrimmed_;
    if (top > endLine || (top == endLine && topSub_ > endSub)) {
        top_ = linesTrimmed_ + endLine;
        topSub_ = endSub;
        viewport()->update();
    }
    bar->setValue(int(top_ - linesTrimmed_));
    settingBar_ = false;
    keepLayoutsNear(top_ - linesTrimmed_);
}

void TranscriptBox::setTop(qsizetype line, int subLine)
{
    line = std::clamp<qsizetype>(line, 0, lineCount() - 1);
    subLine = std::clamp(subLine, 0, layout(line)->lineCount() - 1);
    const QScrollBar *bar = verticalScrollBar();
    if (line > bar->maximum())
        line = bar->maximum();
    top_ = linesTrimmed_ + line;
    topSub_ = subLine;
    updateScrollBar(); // clamps to the highest top
    viewport()->update();
}

void TranscriptBox::pageStep(bool down)
{
    const qreal height = viewport()->rect().height();
    qsizetype line = top_ - linesTrimmed_;
    int sub = std::min(topSub_, layout(line)->lineCount() - 1);
    // y of the top of the top line's layout, in the view
    qreal base = topOffset() - (sub > 0 ? layout(line)->lineAt(sub - 1).naturalTextRect().bottom() : 0);
    if (down) {
        // The first wrapped line that is not whole on screen goes to the top.
        while (true) {
            const QRectF rect = layout(line)->lineAt(sub).naturalTextRect().translated(0, base);
            if (rect.bottom() > height)
                break;
            if (sub + 1 < layout(line)->lineCount()) {
                ++sub;
            } else if (line + 1 < lineCount()) {
                base += lineHeight(line);
                ++line;
                sub = 0;
            } else {
                break; // the end is on screen
            }
        }
    } else {
        // The earliest wrapped line that starts no more than a view above.
        const qreal top = topOffset() - height;
        while (true) {
            qsizetype previousLine = line;
            int previousSub = sub - 1;
            qreal previousBase = base;
            if (previousSub < 0) {
                if (line == 0)
                    break;
                previousLine = line - 1;
                previousBase = base - lineHeight(previousLine);
                previousSub = layout(previousLine)->lineCount() - 1;
            }
            if (previousBase + layout(previousLine)->lineAt(previousSub).naturalTextRect().top() < top)
                break;
            line = previousLine;
            sub = previousSub;
            base = previousBase;
        }
    }
    setTop(line, sub);
    verticalScrollBar()->setSliderPosition(int(top_ - linesTrimmed_));
}

void TranscriptBox::scrollContentsBy(int, int)
{
    if (settingBar_)
        return;
    const QScrollBar *bar = verticalScrollBar();
    const qsizetype line = bar->value();
    // At the end the last lines fill the view, whatever wrapped line is on
    // top; a page step has placed its wrapped line already.
    if (line == bar->maximum())
        topSub_ = INT_MAX / 2;
    else if (top_ != linesTrimmed_ + line)
        topSub_ = 0;
    top_ = linesTrimmed_ + line;
    updateScrollBar();
    viewport()->update();
}

bool TranscriptBox::inFirstGroup(qsizetype line) const
{
    // Lines before the first that starts afresh are one group with the
    // first line, which has room above it.
    const int start = lineStart(line);
    return start < 4 * transcriptview::SoftBlockChars && !QStringView(view_).first(start).contains(QChar::ParagraphSeparator);
}

void TranscriptBox::ensureCursorVisible()
{
    const qsizetype line = lineAt(position_);
    const QTextLine caretLine = layout(line)->lineForTextPosition(position_ - lineStart(line));
    if (!caretLine.isValid())
        return;
    const QRectF caret = caretLine.naturalTextRect().translated(0, lineTop(line));
    const qreal height = viewport()->rect().height();
    if (caret.bottom() >= height) {
        // The earliest wrapped line from whose top the caret's line ends on
        // screen, measured from the top of the caret's line.
        const qreal bottom = caretLine.naturalTextRect().bottom();
        qsizetype topLine = line;
        int topSub = caretLine.lineNumber();
        qreal base = 0;
        while (true) {
            qsizetype previousLine = topLine;
            int previousSub = topSub - 1;
            qreal previousBase = base;
            if (previousSub < 0) {
                if (topLine == 0)
                    break;
                previousLine = topLine - 1;
                previousBase = base - lineHeight(previousLine);
                previousSub = layout(previousLine)->lineCount() - 1;
            }
            const qreal previousTop = previousBase + layout(previousLine)->lineAt(previousSub).naturalTextRect().top();
            if (bottom - previousTop + (inFirstGroup(previousLine) ? Margin : 0) > height)
                break;
            topLine = previousLine;
            topSub = previousSub;
            base = previousBase;
        }
        setTop(topLine, topSub);
    } else if (caret.top() < 0) {
        setTop(line, caretLine.lineNumber());
    }
}

// Drawing.

void TranscriptBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    QPointF offset(0, topOffset()); // the lines carry the margin on the left
    QRect area = event->rect();
    const QRect viewRect = viewport()->rect();
    // The right margin stays clear of a selection drawn the whole width.
    area.setRight(std::min(area.right(), int(viewRect.width() - Margin + 1)));
    painter.setBrushOrigin(offset);
    painter.setClipRect(area);
    painter.setPen(palette().text().color());

    QTextCharFormat selected;
    const QPalette::ColorGroup group = focused_ ? QPalette::Active : QPalette::Inactive;
    selected.setBackground(palette().brush(group, QPalette::Highlight));
    selected.setForeground(palette().brush(group, QPalette::HighlightedText));
    QStyleOption styleOption;
    styleOption.initFrom(this);
    if (style()->styleHint(QStyle::SH_RichText_FullWidthSelection, &styleOption, this))
        selected.setProperty(QTextFormat::FullWidthSelection, true);

    for (qsizetype line = top_ - linesTrimmed_; line < lineCount(); ++line) {
        QTextLayout *lines = layout(line);
        const qreal height = lineHeight(line) + (line == lineCount() - 1 ? Margin : 0);
        if (offset.y() + height >= area.top() && offset.y() <= area.bottom()) {
            QList<QTextLayout::FormatRange> selections;
            const int start = lineStart(line);
            const int length = lineEnd(line) - start + 1; // with the break
            const int from = selectionStart() - start, to = selectionEnd() - start;
            if (from < length && to > 0 && to > from)
                selections.append({from, to - from, selected});
            lines->draw(&painter, offset, selections, area);
        }
        offset.ry() += height;
        if (offset.y() > viewRect.height())
            break;
    }
}

void TranscriptBox::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    dropLayouts();
    topSub_ = 0;
    updateScrollBar();
}

void TranscriptBox::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    updateScrollBar();
}

void TranscriptBox::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ApplicationFontChange) {
        loadedFamilies_.clear();
        dropLayouts();
        topSub_ = 0;
        updateScrollBar();
    }
    viewport()->update();
}

// Where things are.

QRect TranscriptBox::cursorRect(int position) const
{
    position = std::clamp(position, 0, viewLength());
    const qsizetype line = lineAt(position);
    QTextLayout *lines = layout(line);
    const int relative = position - lineStart(line);
    const QTextLine textLine = lines->lineForTextPosition(relative);
    const qreal top = lineTop(line);
    // Placed as the view is scrolled, in whole pixels.
    const qreal offset = topOffset();
    const QPoint shift(0, -int(-offset));
    if (!textLine.isValid())
        return QRectF(0, top - offset, 1, 10).toRect().translated(shift);
    return QRectF(textLine.cursorToX(relative), top - offset + textLine.y(), 1, textLine.height()).toRect().translated(shift);
}

int TranscriptBox::positionAt(const QPoint &point) const
{
    qsizetype line = top_ - linesTrimmed_;
    qreal top = topOffset();
    while (line + 1 < lineCount() && top + lineHeight(line) <= point.y()) {
        top += lineHeight(line);
        ++line;
    }
    while (line > 0 && top > point.y()) {
        --line;
        top -= lineHeight(line);
    }
    QTextLayout *lines = layout(line);
    int at = 0;
    const QPointF inLine(point.x(), point.y() - top);
    for (int i = 0; i < lines->lineCount(); ++i) {
        const QTextLine textLine = lines->lineAt(i);
        const QRectF rect = textLine.naturalTextRect();
        if (rect.top() > inLine.y()) {
            at = std::min(at, textLine.textStart());
        } else if (rect.bottom() <= inLine.y()) {
            at = std::max(at, textLine.textStart() + textLine.textLength());
        } else {
            at = textLine.xToCursor(inLine.x(), QTextLine::CursorBetweenCharacters);
            break;
        }
    }
    return lineStart(line) + at;
}

QList<TranscriptBox::WrappedLine> TranscriptBox::wrappedLines() const
{
    QList<WrappedLine> wrapped;
    for (qsizetype line = 0; line < lineCount(); ++line) {
        QTextLayout *lines = layout(line);
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine textLine = lines->lineAt(i);
            wrapped.append({lines->text().mid(textLine.textStart(), textLine.textLength()), textLine.naturalTextWidth()});
        }
    }
    return wrapped;
}

qsizetype TranscriptBox::longestLine() const
{
    qsizetype longest = 0;
    for (qsizetype line = 0; line < lineCount(); ++line)
        longest = std::max<qsizetype>(longest, lineEnd(line) - lineStart(line));
    return longest;
}

// The caret and the selection.

QString TranscriptBox::selectedText() const
{
    QString text = withExactCharacters(selectionStart(), viewSlice(selectionStart(), selectionEnd()));
    text.replace(QChar::Nbsp, u' ');
    return text;
}

void TranscriptBox::setSelection(int anchor, int position)
{
    anchor = std::clamp(anchor, 0, viewLength());
    position = std::clamp(position, 0, viewLength());
    if (anchor == anchor_ && position == position_)
        return;
    const bool selection = hasSelection() || anchor != position;
    const bool moved = position != position_;
    anchor_ = anchor;
    position_ = position;
    if (selection)
        selectionChanged(-1, -1);
    else if (moved)
        caretMoved();
}

void TranscriptBox::selectionChanged(int, int)
{
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent event(this, anchor_, position_);
        event.setCursorPosition(position_);
        QAccessible::updateAccessibility(&event);
    }
    caretMoved();
}

void TranscriptBox::caretMoved()
{
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent event(this, position_);
        QAccessible::updateAccessibility(&event);
    }
}

void TranscriptBox::copy()
{
    if (!hasSelection())
        return;
    QGuiApplication::clipboard()->setText(selectedText());
}

int TranscriptBox::wordStart(int position) const
{
    const qsizetype line = lineAt(position);
    const int start = lineStart(line);
    const QString text = view_.mid(start, lineEnd(line) - start);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(position - start);
    if (words.isAtBoundary() && (words.boundaryReasons() & QTextBoundaryFinder::StartOfItem))
        return position;
    const qsizetype at = words.toPreviousBoundary();
    return start + int(at < 0 ? 0 : at);
}

int TranscriptBox::wordEnd(int position) const
{
    const qsizetype line = lineAt(position);
    const int start = lineStart(line);
    const QString text = view_.mid(start, lineEnd(line) - start);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(position - start);
    const qsizetype at = words.toNextBoundary();
    return start + int(at < 0 ? text.size() : at);
}

void TranscriptBox::moveSelectionTo(const QPoint &point)
{
    const int at = positionAt(point);
    if (!wordSelect_) {
        setSelection(anchor_, at);
    } else if (at < wordAnchorStart_) {
        setSelection(wordAnchorEnd_, wordStart(at));
    } else {
        setSelection(wordAnchorStart_, std::max(wordAnchorEnd_, wordEnd(at)));
    }
    ensureCursorVisible();
}

void TranscriptBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int at = positionAt(event->position().toPoint());
    selecting_ = true;
    wordSelect_ = false;
    pressedAt_ = event->position().toPoint();
    if (event->modifiers() & Qt::ShiftModifier)
        setSelection(anchor_, at);
    else
        setSelection(at, at);
}

void TranscriptBox::mouseMoveEvent(QMouseEvent *event)
{
    if (!selecting_ || !(event->buttons() & Qt::LeftButton))
        return;
    moveSelectionTo(event->position().toPoint());
    const bool inside = viewport()->rect().contains(event->position().toPoint());
    if (inside && autoScroll_) {
        killTimer(autoScroll_);
        autoScroll_ = 0;
    } else if (!inside && !autoScroll_) {
        autoScroll_ = startTimer(100);
    }
    pressedAt_ = event->position().toPoint();
}

void TranscriptBox::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != autoScroll_) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    QScrollBar *bar = verticalScrollBar();
    if (at.y() < 0)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (at.y() > viewport()->height())
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    moveSelectionTo(at);
}

void TranscriptBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    selecting_ = false;
    if (autoScroll_) {
        killTimer(autoScroll_);
        autoScroll_ = 0;
        ensureCursorVisible();
    }
    // A mouse selection is offered as the selection clipboard where there is one.
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void TranscriptBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int at = positionAt(event->position().toPoint());
    wordAnchorStart_ = wordStart(at);
    wordAnchorEnd_ = std::max(wordAnchorStart_, wordEnd(at));
    wordSelect_ = true;
    selecting_ = true;
    setSelection(wordAnchorStart_, wordAnchorEnd_);
}

void TranscriptBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    const auto accel = [](QKeySequence::StandardKey key) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        return shortcut.isEmpty() ? QString() : u'\t' + shortcut;
    };
    QAction *copyAction = menu.addAction(QCoreApplication::translate("QWidgetTextControl", "&Copy") + accel(QKeySequence::Copy), this, &TranscriptBox::copy);
    copyAction->setObjectName(QStringLiteral("edit-copy"));
    copyAction->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
    copyAction->setEnabled(hasSelection());
    menu.addSeparator();
    QAction *all = menu.addAction(QCoreApplication::translate("QWidgetTextControl", "Select All") + accel(QKeySequence::SelectAll), this, &TranscriptBox::selectAll);
    all->setObjectName(QStringLiteral("select-all"));
    all->setIcon(QIcon::fromTheme(QStringLiteral("edit-select-all")));
    all->setEnabled(viewLength() > 0);
    menu.exec(event->globalPos());
}

void TranscriptBox::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void TranscriptBox::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    focused_ = true;
    viewport()->update();
}

void TranscriptBox::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    focused_ = false;
    viewport()->update();
}

} // namespace platform
