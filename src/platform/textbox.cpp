#include "platform/textbox.h"

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
}

QString TranscriptBox::viewText(const QString &text, bool afterCarriageReturn)
{
    QString view;
    view.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u == u'\n') {
            // The LF of a CR LF pair adds nothing to the CR's break.
            const bool pairsWithCr = i > 0 ? text[i - 1] == u'\r' : afterCarriageReturn;
            if (!pairsWithCr)
                view += QChar(u'\n');
        } else if (u == u'\r') {
            view += QChar(u'\n');
        } else if (u == u'\t') {
            view += c;
        } else if (u < 0x20) {
            view += QChar(char16_t(0x2400 + u)); // control pictures
        } else if (u == 0x7F) {
            view += QChar(char16_t(0x2421));
        } else if (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) {
            // Characters the view would take as paragraph or frame marks.
            view += QChar(QChar::ReplacementCharacter);
        } else {
            view += c;
        }
    }
    return view;
}

qsizetype TranscriptBox::viewPosition(qsizetype position) const
{
    position = std::clamp<qsizetype>(position, 0, text_.size());
    if (position == text_.size())
        return position - crlfPairs_;
    // A position between CR and LF shows after the break.
    qsizetype pairs = countCrlf(QStringView(text_).first(position));
    if (position > 0 && position < text_.size() && text_[position - 1] == u'\r' && text_[position] == u'\n')
        ++pairs;
    return position - pairs;
}

void TranscriptBox::setText(const QString &text)
{
    text_ = text;
    crlfPairs_ = countCrlf(text_);
    setPlainText(viewText(text_, false));
    trimToBound();
}

void TranscriptBox::appendText(const QString &text)
{
    if (text.isEmpty())
        return;
    const bool afterCr = !text_.isEmpty() && text_.back() == u'\r';
    crlfPairs_ += countCrlf(text) + (afterCr && text.front() == u'\n' ? 1 : 0);
    text_ += text;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(viewText(text, afterCr));
    trimToBound();
}

void TranscriptBox::setSelStart(qsizetype position)
{
    QTextCursor cursor(document());
    cursor.setPosition(static_cast<int>(viewPosition(position)));
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TranscriptBox::trimToBound()
{
    if (maxChars_ <= 0 || text_.size() <= maxChars_)
        return;
    // Drop whole lines from the start, down to seven eighths of the bound so
    // that trimming happens rarely and costs little per character kept.
    const qsizetype keep = maxChars_ - maxChars_ / 8;
    qsizetype cut = text_.size() - keep;
    const qsizetype lineEnd = text_.indexOf(u'\n', cut - 1);
    if (lineEnd >= 0 && lineEnd + 1 <= text_.size() - keep / 2) {
        cut = lineEnd + 1; // whole lines, unless the line is huge
    } else if (text_[cut - 1] == u'\r' || text_[cut - 1].isHighSurrogate()) {
        ++cut; // never between the halves of a pair
    }
    const qsizetype viewCut = viewPosition(cut);
    const qsizetype droppedPairs = cut - viewCut;
    QTextCursor start(document());
    start.setPosition(static_cast<int>(viewCut), QTextCursor::KeepAnchor);
    start.removeSelectedText();
    text_.remove(0, cut);
    crlfPairs_ -= droppedPairs;
}

} // namespace platform
