#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace platform::transcriptview {

// Breaks of one piece after its first start a new view block only once the
// block holds this many characters; the others are line breaks within it.
constexpr qsizetype GroupChars = 2048;
// A run this long without a break is cut into view blocks of its own (view
// only), so one huge line never has to be laid out in one piece.
constexpr qsizetype SoftBlockChars = 8192;

// Combining marks after one character beyond this many are not drawn: they
// would pile up over the lines around it. The view shows the first ones,
// then "[+N]" for the N left out (hidden, one for one, where N does not fit).
constexpr int MarkRunCap = 4;

// What the view shows for a character no installed font can show.
constexpr char16_t Undrawable = 0x25A1; // white square

// What marks a break in the view: one character where a new block starts,
// another where the line breaks within a block. The text box uses Qt's
// paragraph and line separators; a plain rendering uses "\n" for both.
// `drawable` says which characters beyond U+02FF the fonts can show (the
// text box asks the installed fonts); without it, all of them.
struct Marks
{
    QChar line = u'\n';
    QChar paragraph = u'\n';
    bool cutLongRuns = false;
    bool (*drawable)(char32_t) = nullptr;
};

// A cut of a long run: its position in the piece's text and the position of
// the block break the view put there.
struct Cut
{
    qsizetype text;
    qsizetype view;
};

struct Piece
{
    QString text;       // what the view shows for the piece
    QList<Cut> cuts;    // where it cut long runs, in order
    qsizetype blockChars; // characters in the view's last block after the piece
};

// What the view shows for a piece of text appended after a block already
// holding `blockChars` characters. Line breaks (CR LF, lone CR, lone LF,
// U+2028) are one mark each, the first of a piece always a new block; control
// characters become visible symbols (U+2400 onwards), and the characters that
// the view itself takes as paragraph or frame marks become U+FFFD, so nothing
// a peer sends can cut off or hide the rest. A line that holds right-to-left
// text or bidirectional controls is a block of its own, so whatever it does
// to the direction of text ends with it (lines within one block share it).
// Runs of combining marks are capped (MarkRunCap). A character the fonts
// cannot show is Undrawable (a pair: Undrawable and an invisible joiner), so
// Qt never searches every font for it. The view has one
// character for each of the text's, but for breaks and cuts, so positions
// map simply. `afterCarriageReturn` says the text before the piece ended in
// CR, so a leading LF adds no break. Runs of plain characters below U+0300
// (no control, mark or direction to look at) are copied whole; every other
// character is looked at one by one, which is where a change to how one
// character shows belongs.
Piece render(QStringView text, bool afterCarriageReturn, qsizetype blockChars, Marks marks);

} // namespace platform::transcriptview
