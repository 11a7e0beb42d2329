#include "transcript/transcriptview.h"

#include <algorithm>

namespace platform::transcriptview {

namespace {

// Shown as it is: everything but control characters, line and paragraph
// separators, and the two noncharacters the view uses as marks.
bool isPlain(char16_t u)
{
    return u >= 0x20 && u != 0x7F && (u < 0x2028 || (u > 0x2029 && (u < 0xFDD0 || u > 0xFDD1)));
}

// Plain and below the combining marks: shown as it is, with no more to look at.
bool isPlainRun(char16_t u)
{
    return u >= 0x20 && u < 0x0300 && u != 0x7F;
}

bool isBreak(char16_t u)
{
    return u == u'\r' || u == u'\n' || u == 0x2028;
}

// What the view shows for a character that is neither plain nor a break.
char16_t visible(char16_t u)
{
    if (u == u'\t')
        return u;
    if (u < 0x20)
        return char16_t(0x2400 + u); // control pictures
    if (u == 0x7F)
        return 0x2421;
    return QChar::ReplacementCharacter; // paragraph and frame marks of the view
}

// What a character does to the view beyond showing itself.
struct Kind
{
    bool mark = false; // a combining mark
    bool bidi = false; // right-to-left, or a control of direction
};

Kind classify(char32_t c)
{
    Kind kind;
    const QChar::Category category = QChar::category(c);
    kind.mark = category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
                || category == QChar::Mark_Enclosing;
    switch (QChar::direction(c)) {
    case QChar::DirR: case QChar::DirAL: case QChar::DirAN:
    case QChar::DirRLE: case QChar::DirRLO: case QChar::DirLRE: case QChar::DirLRO: case QChar::DirPDF:
    case QChar::DirRLI: case QChar::DirLRI: case QChar::DirFSI: case QChar::DirPDI:
        kind.bidi = true;
        break;
    default:
        break;
    }
    return kind;
}

// Where "[+N]" goes: no cut is made in the first this many hidden marks.
constexpr qsizetype TagRoom = 12;
constexpr char16_t Hidden = 0x2060; // word joiner: takes no room, breaks nothing

} // namespace

Piece render(QStringView text, bool afterCarriageReturn, qsizetype blockChars, Marks marks)
{
    const qsizetype room = marks.cutLongRuns ? text.size() / SoftBlockChars + 1 : 0;
    QString view(text.size() + room, Qt::Uninitialized);
    QChar *const out = view.data();
    qsizetype n = 0;                    // characters written to the view
    qsizetype blockStart = -blockChars; // where the view's last block starts
    QList<Cut> cuts;
    bool previousCr = afterCarriageReturn;
    bool firstBreak = true;
    qsizetype lineMark = -1; // the break mark before the current line, in this piece
    bool bidiLine = false;   // the current line has right-to-left text or controls
    Kind kind;               // of the last character looked at beyond U+02FF
    bool undrawable = false; // that character is one no font shows
    int markRun = 0;          // combining marks since the last other character
    qsizetype hiddenAt = -1, hiddenText = 0, hiddenUnits = 0, hiddenMarks = 0;

    auto cutIfLong = [&](qsizetype i, char16_t u) {
        // A long run starts a block here, never between the halves of a pair.
        if (marks.cutLongRuns && n - blockStart >= SoftBlockChars && !QChar::isLowSurrogate(u)
            && (hiddenAt < 0 || n - hiddenAt >= TagRoom)) {
            cuts.append({i, n});
            out[n++] = marks.paragraph;
            blockStart = n;
        }
    };
    auto endMarks = [&] {
        markRun = 0;
        if (hiddenAt < 0)
            return;
        const QString tag = QStringLiteral("[+%1]").arg(hiddenMarks);
        for (qsizetype k = 0; k < hiddenUnits && k < TagRoom; ++k) // too few for the tag: shown after all
            out[hiddenAt + k] = tag.size() <= hiddenUnits ? (k < tag.size() ? tag[k] : QChar(Hidden)) : text[hiddenText + k];
        hiddenAt = -1;
    };

    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x0300 && isPlain(u)) {
            // A run of plain characters is copied whole, in pieces only where
            // a long run is cut.
            endMarks();
            qsizetype end = i + 1;
            while (end < text.size() && isPlainRun(text[end].unicode()))
                ++end;
            while (i < end) {
                cutIfLong(i, text[i].unicode());
                qsizetype take = end - i;
                if (marks.cutLongRuns)
                    take = std::min(take, SoftBlockChars - (n - blockStart));
                std::copy_n(text.data() + i, take, out + n);
                n += take;
                i += take;
            }
            --i; // the loop steps past the run's last character
            previousCr = false;
        } else if (isBreak(u)) {
            endMarks();
            // The LF of a CR LF pair adds nothing to the CR's break.
            if (!(u == u'\n' && previousCr)) {
                const bool newBlock = firstBreak || bidiLine || n - blockStart >= GroupChars;
                lineMark = n;
                out[n++] = newBlock ? marks.paragraph : marks.line;
                if (newBlock)
                    blockStart = n;
                firstBreak = false;
                bidiLine = false;
            }
            previousCr = u == u'\r';
        } else if (!isPlain(u)) {
            endMarks();
            out[n++] = visible(u);
            previousCr = false;
        } else {
            previousCr = false;
            // The second half of a pair is what the first half was.
            const bool second = QChar::isLowSurrogate(u) && i > 0 && QChar::isHighSurrogate(text[i - 1].unicode());
            if (!second) {
                const bool pair = QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
                const char32_t c = pair ? QChar::surrogateToUcs4(u, text[i + 1].unicode()) : char32_t(u);
                kind = classify(c);
                undrawable = marks.drawable && !marks.drawable(c);
                kind.mark = kind.mark && !undrawable; // the square carries no marks of its own
                if (kind.mark)
                    ++markRun;
                else
                    endMarks();
            }
            if (kind.bidi && !bidiLine) {
                // The line becomes a block of its own, from the break before it on.
                bidiLine = true;
                if (lineMark >= 0 && out[lineMark] == marks.line) {
                    out[lineMark] = marks.paragraph;
                    blockStart = std::max(blockStart, lineMark + 1);
                }
            }
            if (undrawable) {
                cutIfLong(i, u);
                out[n++] = second ? Hidden : Undrawable;
                continue;
            }
            if (kind.mark && markRun > MarkRunCap) {
                if (hiddenAt < 0) {
                    hiddenAt = n;
                    hiddenText = i;
                    hiddenUnits = hiddenMarks = 0;
                }
                hiddenMarks += second ? 0 : 1;
                cutIfLong(i, u);
                out[n++] = Hidden;
                ++hiddenUnits;
                continue;
            }
            cutIfLong(i, u);
            out[n++] = u;
        }
    }
    endMarks();
    view.truncate(n);
    return {view, cuts, n - blockStart};
}

} // namespace platform::transcriptview
